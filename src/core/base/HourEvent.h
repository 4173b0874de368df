#pragma once

// Why an hour's chime or background is asked for.
enum class HourEvent {
    // The tick at the hour: once for each hour, and only as the settings allow.
    OnTheHour,
    // A key, the menu or an animated background: always.
    Forced,
};
