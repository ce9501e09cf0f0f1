#pragma once

#include <QApplication>

#include "settings/text_encoding.h"

namespace sipcrypt::app {

// The application: start-up runs the settings dialog modally, and the program
// ends when it closes.
class SettingsApp {
  public:
    SettingsApp(int& argc, char** argv);

    // Shows the dialog until it is closed; returns the exit status.
    int run(TextEncoding& encoding);

  private:
    QApplication application_;
};

}  // namespace sipcrypt::app
