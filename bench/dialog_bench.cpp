// The dialog's costs, offscreen: building it, its first paint, and a press
// that encrypts all four parameters.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <cstdlib>

#include "app/settings_dialog.h"

namespace {

std::unique_ptr<sipcrypt::TextEncoding> utf8 = nullptr;

void fill(sipcrypt::app::SettingsDialog& dialog) {
    const std::pair<int, const char*> inputs[] = {{1002, "Tr0ub4dor&3"},
                                                  {1003, "alice"},
                                                  {1004, "correct horse battery"},
                                                  {1005, "proxy.example.net:5060"},
                                                  {1006, "sip:outbound.example.org;transport=tcp"}};
    for (const auto& [id, text] : inputs) {
        static_cast<QLineEdit*>(dialog.control(id))->setText(QString::fromUtf8(text));
    }
}

void dialog_build_and_first_paint(benchmark::State& state) {
    for (auto _ : state) {
        sipcrypt::app::SettingsDialog dialog(*utf8);
        dialog.show();
        benchmark::DoNotOptimize(dialog.grab());
    }
}
BENCHMARK(dialog_build_and_first_paint)->Unit(benchmark::kMillisecond);

void dialog_press(benchmark::State& state) {
    sipcrypt::app::SettingsDialog dialog(*utf8);
    fill(dialog);
    auto* button = static_cast<QPushButton*>(dialog.control(1000));
    for (auto _ : state) button->click();
}
BENCHMARK(dialog_press)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    utf8 = sipcrypt::TextEncoding::open("UTF-8");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    utf8.reset();
    return 0;
}
