#pragma once

#include "core/face/HorolanState.h"
#include "core/settings/SettingsInfo.h"

#include <QString>
#include <QStringList>

#include <memory>

class SettingsStore;

// The settings targets' common part: a main window that only remembers, and the load, save,
// reload cycle whose results must agree.
namespace SettingsFuzz {

class FakeWindow final : public InfoWindow {
public:
    explicit FakeWindow(HorolanState& state)
        : m_state(state)
    { }
    double topTwips() const override { return top; }
    double leftTwips() const override { return left; }
    void setTopTwips(double twips) override { top = twips; }
    void setLeftTwips(double twips) override { left = twips; }
    bool worldTimeVisible() const override { return wttVisible; }
    void showWorldTime() override { wttVisible = true; }
    // Whatever was stored becomes current, so the round trip sees the stored name itself.
    void ActivateSkin(const QString& name) override { m_state.CurrentSkin = name; }
    void ActivateSP(const QString& name) override { m_state.CurrentSP = name; }

    double top = 0;
    double left = 0;
    bool wttVisible = false;

private:
    HorolanState& m_state;
};

struct Loaded {
    HorolanState state;
    FakeWindow window { state };
};

// LoadInfo into a fresh state and window.
std::unique_ptr<Loaded> load(const SettingsStore& store);

// The differences between two loads, empty when they agree. Numbers written as single-precision
// text may move by their rounding on the first save only; exact asks for equality.
QString differences(const Loaded& a, const Loaded& b, bool exact);

// Equal within the seven digits of single-precision text.
bool nearSingle(double a, double b);

// Lists longer than this cost seconds per input under the sanitizers; their bound is a unit
// test's, and the fuzzer skips them to keep its pace.
inline constexpr int maxFuzzEntries = 300;
bool longList(const SettingsStore& store);

// A folder for one input, fresh and empty; the previous input's folder is removed.
QString freshFolder();

// The cycle every settings target checks: LoadInfo from the store, SaveInfo into the same store,
// LoadInfo from the file it wrote (which may differ by rounding), save and load once more (which
// must not). Aborts on a difference. Returns the first load.
std::unique_ptr<Loaded> checkRoundTrip(SettingsStore& store, const QString& filePath);

} // namespace SettingsFuzz
