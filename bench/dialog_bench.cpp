// The dialog's costs, offscreen: building it, its first paint, and a press
// that encrypts all four parameters, through the Qt view and through the
// form alone.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <cstdlib>

#include "core/codec.h"
#include "gui/qt/settings_dialog.h"
#include "gui/settings_form.h"
#include "tests/codec_for.h"

namespace {

using sipcrypt::gui::Field;

std::unique_ptr<sipcrypt::Codec> utf8 = nullptr;

const std::pair<Field, const char16_t*> inputs[] = {
    {Field::encryption_password, u"Tr0ub4dor&3"},
    {Field::sip_login, u"alice"},
    {Field::sip_password, u"correct horse battery"},
    {Field::sip_proxy, u"proxy.example.net:5060"},
    {Field::sip_outbound_proxy, u"sip:outbound.example.org;transport=tcp"}};

void dialog_build_and_first_paint(benchmark::State& state) {
    sipcrypt::gui::SettingsForm form(*utf8);
    for (auto _ : state) {
        sipcrypt::gui::qt::SettingsDialog dialog(form);
        dialog.show();
        benchmark::DoNotOptimize(dialog.grab());
    }
}
BENCHMARK(dialog_build_and_first_paint)->Unit(benchmark::kMillisecond);

void dialog_press(benchmark::State& state) {
    sipcrypt::gui::SettingsForm form(*utf8);
    sipcrypt::gui::qt::SettingsDialog dialog(form);
    for (const auto& [field, text] : inputs) {
        dialog.box(field)->setText(QString::fromUtf16(text));
    }
    for (auto _ : state) dialog.button()->click();
}
BENCHMARK(dialog_press)->Unit(benchmark::kMicrosecond);

void form_press(benchmark::State& state) {
    sipcrypt::gui::SettingsForm form(*utf8);
    for (const auto& [field, text] : inputs) form.set_text(field, text);
    for (auto _ : state) benchmark::DoNotOptimize(form.press());
}
BENCHMARK(form_press)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    utf8 = sipcrypt::codec_for("UTF-8");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    utf8.reset();
    return 0;
}
