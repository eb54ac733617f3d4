// SPDX-License-Identifier: MIT
#pragma once

#include "app/modal_settings_view.h"
#include "fake_settings_view.h"
#include "platform/fake/fake_platform.h"

#include <functional>

namespace chimex {

/// The settings dialog without a window: showModal() runs `whileShown`, then closes with the real
/// commit.
class FakeModalSettingsView : public test::FakeDialogFields<ModalSettingsView> {
  public:
    FakeModalSettingsView(ProgramState& state, FakePlatform& platform)
        : FakeDialogFields(state), platform_(platform) {}

    int shows = 0;
    std::function<void()> whileShown;

    void load() override { loadOnce(); }
    void showModal() override {
        load();
        const auto opened = fieldTexts(*this);
        ++shows;
        if (whileShown) {
            whileShown();
        }
        commitSettings(state_, platform_, platform_, *this, opened);
    }

  private:
    FakePlatform& platform_;
};

} // namespace chimex
