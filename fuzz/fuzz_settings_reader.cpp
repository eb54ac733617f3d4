// SPDX-License-Identifier: MIT
// Any settings file: the reader sets only finite settings and check box states 0 to 2, shows a
// value that fits no setting as written, and what the writer then writes reads back to the same
// settings.
#include "core/program_state.h"
#include "fuzz_check.h"
#include "settings/numeric_value.h"
#include "settings/settings_file.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

using namespace chimex;

namespace {

class CheckingView : public SettingsView {
  public:
    int pause = 0;
    int fieldsSet = 0;

    std::string fieldText(SettingsField) override { return {}; }
    void setFieldText(SettingsField, const std::string& text) override {
        // A number in plain form, or a value that fits no setting, shown as the file wrote it.
        CHIMEX_FUZZ_CHECK(text.find_first_not_of("0123456789.-+E") == std::string::npos ||
                          !toSingle(numericValue(text)));
        ++fieldsSet;
    }
    int pauseState() override { return pause; }
    void setPauseState(int state) override {
        CHIMEX_FUZZ_CHECK(state >= 0 && state <= 2);
        pause = state;
    }
};

void read(const std::string& text, ProgramState& state, CheckingView& view) {
    std::istringstream in(text);
    readSettings(in, state, view);
    CHIMEX_FUZZ_CHECK(view.fieldsSet == 5);
    for (const SettingKey& key : settingKeys) {
        CHIMEX_FUZZ_CHECK(std::isfinite(state.*key.value));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ProgramState state;
    CheckingView view;
    read(std::string(reinterpret_cast<const char*>(data), size), state, view);

    std::ostringstream written;
    writeSettings(written, state, view.pause);
    ProgramState again;
    CheckingView againView;
    read(written.str(), again, againView);
    CHIMEX_FUZZ_CHECK(againView.pause == view.pause);
    for (const SettingKey& key : settingKeys) {
        const float before = state.*key.value;
        const float after = again.*key.value;
        CHIMEX_FUZZ_CHECK(std::fabs(after - before) <= 1e-6 * std::fabs(before) ||
                          !std::isnormal(before));
    }
    return 0;
}
