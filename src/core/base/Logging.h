#pragma once

#include <QLoggingCategory>

// One category per subsystem; all are off by default below warning level.
// QT_LOGGING_RULES="horolan.*.debug=true" explains what the clock decided and why.
Q_DECLARE_LOGGING_CATEGORY(lcMain)
Q_DECLARE_LOGGING_CATEGORY(lcShape)
Q_DECLARE_LOGGING_CATEGORY(lcSkin)
Q_DECLARE_LOGGING_CATEGORY(lcSound)
Q_DECLARE_LOGGING_CATEGORY(lcSettings)
Q_DECLARE_LOGGING_CATEGORY(lcWorldTime)
Q_DECLARE_LOGGING_CATEGORY(lcInstall)
