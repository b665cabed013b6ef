// The window's Load and Save commands on a full four-level card, on Qt's
// offscreen platform: what a click on Load or Save costs, controls included.
// Save includes the durable replace (fsync of the new card and its folder).

#include "bench_support.h"
#include "main_window.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>

#include <cstdio>
#include <memory>

namespace {

QLineEdit* box(QWidget* w, const char* name)
{
    auto* found = w->findChild<QLineEdit*>(name);
    if (!found)
        qFatal("no text box %s", name);
    return found;
}

QComboBox* combo(QWidget* w, const char* name)
{
    auto* found = w->findChild<QComboBox*>(name);
    if (!found)
        qFatal("no combo box %s", name);
    return found;
}

void selectLevel(QWidget* w, int index)
{
    for (auto* o : w->findChildren<QRadioButton*>("optLv"))
        if (o->property("Index").toInt() == index) {
            o->setChecked(true);  // raises optLv_Click as a click does
            return;
        }
    qFatal("no level option %d", index);
}

QString qs(const std::string& utf8) { return QString::fromStdString(utf8); }

// A window on a fresh program folder with every control of the full card
// filled in, level by level, through the level options.
struct FilledWindow {
    bench::ScratchFolder folder;
    std::unique_ptr<frmVelmar> window;
    QString problem;

    FilledWindow()
    {
        window = std::make_unique<frmVelmar>(folder.path());
        window->reportProblem = [this](const QString& message) { problem = message; };
        frmVelmar* w = window.get();
        const Card card = bench::fullCard();
        box(w, "txtID")->setText("000");
        box(w, "txtRarelity")->setText(qs(card.Rarity));
        box(w, "txtMaxLv")->setText(qs(card.MaxLv));
        box(w, "txtMinLv")->setText(qs(card.MinLv));
        combo(w, "cboSuperMode")->setCurrentIndex(*card.SuperMode);
        for (int n = 0; n < 4; ++n) {
            selectLevel(w, n);
            const LevelRecord& r = card.Levels[n];
            box(w, "txtMaxHP")->setText(qs(r.MaxHP));
            box(w, "txtPower")->setText(qs(r.Power));
            box(w, "txtNomalWaza")->setText(qs(r.NomalWaza));
            box(w, "txtExtWaza")->setText(qs(r.ExtWaza));
            ExtMoveFields fields;
            if (!decodeExtMoveSpec(r.ExtWazaSpec, fields))
                qFatal("bad spec");
            combo(w, "cboExWaza1")->setCurrentIndex(fields.rangeIndex);
            box(w, "txtExtWaza2")->setText(qs(fields.amount));
            combo(w, "cboExtWaza2")->setCurrentIndex(fields.effectIndex);
            box(w, "txtExtWaza3")->setText(qs(fields.count));
        }
        w->show();
        QApplication::processEvents();
    }

    std::string cardPath() const { return folder.file("000.ini"); }
};

void checkFourLevels(benchmark::State& state, const frmVelmar& w)
{
    const LevelBuffer expected = bench::fullCard().Levels;
    if (w.levelData() != expected)
        state.SkipWithError("the window does not hold the full card");
}

void BM_cmdSave_Click(benchmark::State& state)
{
    FilledWindow f;
    for (auto _ : state)
        f.window->cmdSave_Click();
    if (!f.problem.isEmpty())
        state.SkipWithError(f.problem.toStdString().c_str());
    checkFourLevels(state, *f.window);
    state.counters["file_bytes"] = double(bench::fileSize(f.cardPath()));
}
BENCHMARK(BM_cmdSave_Click)->UseRealTime();

void BM_cmdLoad_Click(benchmark::State& state)
{
    FilledWindow f;
    f.window->cmdSave_Click();
    f.window->cmdClear_Click();
    box(f.window.get(), "txtID")->setText("000");
    for (auto _ : state)
        f.window->cmdLoad_Click();
    if (!f.problem.isEmpty())
        state.SkipWithError(f.problem.toStdString().c_str());
    checkFourLevels(state, *f.window);
    if (box(f.window.get(), "txtNomalWaza")->text() != QString::fromUtf8("たいあたり"))
        state.SkipWithError("level 1 not shown after Load");
}
BENCHMARK(BM_cmdLoad_Click)->UseRealTime();

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
