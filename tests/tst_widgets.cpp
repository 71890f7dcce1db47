#include <QDir>
#include <QMenu>
#include <QPalette>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "widgets/QVisibleHandleSplitter.h"
#include "widgets/clearableTextBrowser.h"
#include "widgets/histogramChart.h"
#include "widgets/mruComboBox.h"
#include "widgets/runClockLabel.h"
#include "widgets/updatableLineEdit.h"

// The window's small widgets: path fields, recent-path lists, the log, the
// splitter, the run clock and the charts.
class tst_widgets : public QObject
{
    Q_OBJECT

    QTemporaryDir reference_;  // holds a file "dem.asc" and a folder "out"
    QTemporaryDir elsewhere_;
    QString startDirectory_;

private slots:
    void initTestCase()
    {
        QVERIFY(reference_.isValid() && elsewhere_.isValid());
        QFile file(reference_.filePath("dem.asc"));
        QVERIFY(file.open(QIODevice::WriteOnly) && QDir(reference_.path()).mkdir("out"));
        startDirectory_ = QDir::currentPath();
    }
    void init() { QDir::setCurrent(startDirectory_); }

    // '@' stands for the reference directory; only the active text colour changes.
    // The current directory is shared by the whole process (a running run
    // writes there), so validation must not switch it, not even for a moment.
    void pathFieldValidatesAgainstTheReference_data()
    {
        QTest::addColumn<bool>("mustBeDirectory");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("useReference");
        QTest::addColumn<bool>("valid");
        QTest::newRow("file: empty") << false << "" << true << false;
        QTest::newRow("folder: empty") << true << "" << true << false;
        QTest::newRow("file: relative") << false << "dem.asc" << true << true;
        QTest::newRow("file: through a folder") << false << "out/../dem.asc" << true << true;
        QTest::newRow("file: absolute") << false << "@/dem.asc" << false << true;
        QTest::newRow("file: a folder") << false << "out" << true << false;
        QTest::newRow("file: missing") << false << "missing.asc" << true << false;
        QTest::newRow("folder: relative") << true << "out" << true << true;
        QTest::newRow("folder: dot") << true << "." << true << true;
        QTest::newRow("folder: absolute") << true << "@" << false << true;
        QTest::newRow("folder: a file") << true << "dem.asc" << true << false;
        QTest::newRow("folder: missing") << true << "nowhere" << true << false;
    }

    void pathFieldValidatesAgainstTheReference()
    {
        QFETCH(bool, mustBeDirectory);
        QFETCH(QString, text);
        QFETCH(bool, useReference);
        QFETCH(bool, valid);
        // A removed current directory cannot be gone back to: a validation that
        // switched directories would be left in the reference one.
        QVERIFY(QDir(elsewhere_.path()).mkpath("gone") && QDir::setCurrent(elsewhere_.filePath("gone")));
        const bool removed = QDir(elsewhere_.path()).rmdir("gone");
        updatableLineEdit edit;
        QPalette colours = edit.palette();
        colours.setColor(QPalette::Inactive, QPalette::Text, QColor(10, 20, 30));
        edit.setPalette(colours);
        edit.setMustBeDirectory(mustBeDirectory);
        edit.setBaseDir(useReference ? reference_.path() : elsewhere_.path());
        edit.setText(text.replace('@', reference_.path()));
        QCOMPARE(edit.isValid(), valid);
        QCOMPARE(edit.palette().color(QPalette::Active, QPalette::Text), valid ? QColor(Qt::black) : QColor(Qt::red));
        QCOMPARE(edit.palette().color(QPalette::Inactive, QPalette::Text), QColor(10, 20, 30));
        if (removed)
            QCOMPARE(QDir::currentPath(), QString());
    }

    // A new reference directory revalidates; without one, the current
    // directory is the reference, also for the absolute path.
    void pathFieldFollowsItsReference()
    {
        updatableLineEdit edit;
        edit.setBaseDir(reference_.path());
        edit.setText("sub/new.asc");
        QCOMPARE(QFileInfo(edit.absoluteFilePath()), QFileInfo(reference_.filePath("sub/new.asc")));
        edit.setText("dem.asc");
        edit.setBaseDir(elsewhere_.path());
        QVERIFY(!edit.isValid());
        QVERIFY(QDir::setCurrent(reference_.path()));
        edit.setBaseDir(QString());
        QVERIFY(edit.isValid());
        QCOMPARE(QFileInfo(edit.absoluteFilePath()), QFileInfo(reference_.filePath("dem.asc")));
    }

    // A path too long for its field keeps its start and its file name, the
    // middle elided, until the field is edited; the tooltip holds it whole.
    void pathFieldElidesLongPathsInTheMiddle_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<bool>("focused");
        QTest::addColumn<bool>("elided");
        QTest::newRow("fits") << 900 << false << false;
        QTest::newRow("too long") << 160 << false << true;
        QTest::newRow("too long, edited") << 160 << true << false;
    }

    void pathFieldElidesLongPathsInTheMiddle()
    {
        QFETCH(int, width);
        QFETCH(bool, focused);
        QFETCH(bool, elided);
        const QString path = QStringLiteral("/home/someone/projects/slope survey 2026/inputs/examples/dem.asc");
        QWidget window;
        auto* edit = new updatableLineEdit(&window);
        auto* other = new QLineEdit(&window);
        other->move(0, 40);
        edit->resize(width, edit->sizeHint().height());
        edit->setText(path);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        (focused ? static_cast<QWidget*>(edit) : other)->setFocus();
        QTRY_COMPARE(edit->hasFocus(), focused);
        const QString shown = edit->shownText();
        QCOMPARE(shown == path, !elided);
        if (elided)
            QVERIFY2(shown.startsWith("/home") && shown.endsWith("dem.asc") && shown.contains(QChar(0x2026)),
                     qPrintable(shown));
        QCOMPARE(edit->text(), path);
        QCOMPARE(edit->toolTip(), path);
    }

    void recentPathsPromoteTheCurrentText_data()
    {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("after");
        const QStringList five{"a", "b", "c", "d", "e"};
        QTest::newRow("into an empty list") << QStringList() << "a" << QStringList{"a"};
        QTest::newRow("entry moves to the top") << five << "c" << QStringList{"c", "a", "b", "d", "e"};
        QTest::newRow("top entry stays") << five << "a" << five;
        QTest::newRow("new text drops the oldest") << five << "f" << QStringList{"f", "a", "b", "c", "d"};
        QTest::newRow("restored long list is cut")
            << QStringList{"1", "2", "3", "4", "5", "6", "7"} << "6" << QStringList{"6", "1", "2", "3", "4"};
        QTest::newRow("case differs: both kept")
            << QStringList{"/d/dem.asc"} << "/d/DEM.asc" << QStringList{"/d/DEM.asc", "/d/dem.asc"};
        QTest::newRow("every later duplicate goes")
            << QStringList{"b", "a", "b", "c", "a"} << "a" << QStringList{"a", "b", "c"};
        QTest::newRow("empty text too") << QStringList{"a", "b"} << "" << QStringList{"", "a", "b"};
    }

    void recentPathsPromoteTheCurrentText()
    {
        QFETCH(QStringList, before);
        QFETCH(QString, text);
        QFETCH(QStringList, after);
        mruComboBox combo;
        combo.setPathEdit(new updatableLineEdit);
        combo.setStringList(before);
        QCOMPARE(combo.stringList(), before);
        combo.pathEdit()->setText(text);
        QSignalSpy edits(combo.pathEdit(), &QLineEdit::textEdited);
        combo.promoteCurrentText();
        QCOMPARE(combo.stringList(), after);
        QCOMPARE(combo.currentText(), text);
        QCOMPARE(combo.pathEdit()->text(), text);
        QCOMPARE(edits.count(), 0);  // silent during promotion, relaying again after it, once
        combo.setCurrentIndex(combo.count() - 1);
        QCOMPARE(edits.count(), after.size() > 1 ? 1 : 0);
    }

    // The log's menu ends with an entry that clears it.
    void logMenuEndsWithClear()
    {
        clearableTextBrowser log;
        log.append("Reading DEM");
        const std::unique_ptr<QMenu> menu(log.createContextMenu());
        menu->actions().last()->trigger();
        QVERIFY(log.document()->isEmpty());
    }

    void splitterCollapsesAndExpandsTheSecondSide_data()
    {
        QTest::addColumn<Qt::Orientation>("orientation");
        QTest::newRow("horizontal") << Qt::Horizontal;
        QTest::newRow("vertical") << Qt::Vertical;
    }

    // 305 pixels with a 5 pixel handle: the handle moves between 0 and 300.
    void splitterCollapsesAndExpandsTheSecondSide()
    {
        QFETCH(Qt::Orientation, orientation);
        QVisibleHandleSplitter splitter(orientation);
        splitter.setHandleWidth(5);
        splitter.addWidget(new QWidget);
        splitter.addWidget(new QWidget);
        splitter.resize(orientation == Qt::Horizontal ? QSize(305, 200) : QSize(200, 305));
        splitter.show();
        QVERIFY(QTest::qWaitForWindowExposed(&splitter));
        splitter.setSizes({250, 50});
        splitter.expandSecondWidget();  // only a collapsed side expands
        QCOMPARE(splitter.sizes(), (QList<int>{250, 50}));
        splitter.collapseSecondWidget();
        QCOMPARE(splitter.sizes(), (QList<int>{300, 0}));
        splitter.expandSecondWidget();
        QCOMPARE(splitter.sizes(), (QList<int>{150, 150}));
    }

    // The time elapsed, and once some trajectories are done the time left at the pace so far.
    void runClockTellsTheTimeLeft_data()
    {
        QTest::addColumn<double>("elapsed");
        QTest::addColumn<int>("done");  // of 100
        QTest::addColumn<QString>("text");
        QTest::newRow("nothing done") << 12.4 << 0 << "0:00:12 elapsed";
        QTest::newRow("a quarter done") << 30.0 << 25 << "0:00:30 elapsed, about 0:01:30 left";
        QTest::newRow("half done after an hour") << 3725.0 << 50 << "1:02:05 elapsed, about 1:02:05 left";
    }

    void runClockTellsTheTimeLeft()
    {
        QFETCH(double, elapsed);
        QFETCH(int, done);
        QFETCH(QString, text);
        QCOMPARE(runClockLabel::text(elapsed, done, 100), text);
    }

    // The bars span the bins with counts, merged to at most `most`, and end
    // at the largest value where the bins are coarser than the data.
    void histogramRangeIsTheData_data()
    {
        QTest::addColumn<QVector<double>>("counts");
        QTest::addColumn<double>("width");
        QTest::addColumn<double>("largest");
        QTest::addColumn<QVector<double>>("bars");
        QTest::addColumn<QPointF>("range");
        const double none = qInf();
        QTest::newRow("one coarse bin: up to the longest, not the bin's end")
            << QVector<double>{7, 0, 0} << 250.0 << 29.9 << QVector<double>{7} << QPointF(0, 29.9);
        QTest::newRow("empty bins at both ends left out")
            << QVector<double>{0, 0, 3, 1, 0} << 10.0 << 37.5 << QVector<double>{3, 1} << QPointF(20, 37.5);
        QTest::newRow("six bins merged into three bars")
            << QVector<double>{1, 1, 2, 2, 3, 3} << 1.0 << none << QVector<double>{2, 4, 6} << QPointF(0, 6);
        QTest::newRow("five bins into three bars: the last bar's bins end the range")
            << QVector<double>{1, 1, 1, 1, 1} << 1.0 << none << QVector<double>{2, 2, 1} << QPointF(0, 6);
        QTest::newRow("largest beyond the bins (the last holds all beyond)")
            << QVector<double>{1, 2} << 5.0 << 80.0 << QVector<double>{1, 2} << QPointF(0, 10);
        QTest::newRow("no counts") << QVector<double>{0, 0} << 5.0 << 3.0 << QVector<double>{} << QPointF(0, 0);
    }

    void histogramRangeIsTheData()
    {
        QFETCH(QVector<double>, counts);
        QFETCH(double, width);
        QFETCH(double, largest);
        QFETCH(QVector<double>, bars);
        QFETCH(QPointF, range);
        const histogramChart::regrouped grouped = histogramChart::regroup(counts, 0.0, width, 3, largest);
        QCOMPARE(grouped.heights, bars);
        QCOMPARE(QPointF(grouped.from, grouped.to), range);
    }

    // Bars in the map's colour of the highest reach class, as high as their values allow.
    void histogramBarsInTheMapsColour()
    {
        histogramChart chart;
        chart.resize(220, 120);
        chart.setBars("Run-out", {1.0, 2.0}, 0.0, 10.0, "m");
        const QImage image = chart.grab().toImage();
        int barPixels[2] = {0, 0};
        for (int y = 0; y < image.height(); ++y)
            for (int bar : {0, 1})
                barPixels[bar] += image.pixel(image.width() * (1 + 2 * bar) / 4, y) == qRgb(0xbd, 0x00, 0x26);
        QVERIFY2(barPixels[0] > 10 && qAbs(2 * barPixels[0] - barPixels[1]) <= 2,
                 qPrintable(QStringLiteral("%1 %2").arg(barPixels[0]).arg(barPixels[1])));
    }
};

QTEST_MAIN(tst_widgets)
#include "tst_widgets.moc"
