#pragma once

#include <QApplication>

#include "core/codec.h"

namespace sipcrypt::gui::qt {

// The application: start-up runs the settings dialog modally, and the program
// ends when it closes.
class SettingsApp {
  public:
    SettingsApp(int& argc, char** argv);

    // Shows the dialog until it is closed; returns the exit status.
    int run(Codec& codec);

  private:
    QApplication application_;
};

}  // namespace sipcrypt::gui::qt
