#include <algorithm>
#include <cmath>

#include <QTest>
#include <QtEndian>

#include "outputs/pngPicture.h"
#include "outputs/resultGridStyles.h"
#include "map/cellReadout.h"
#include "map/resultMapPicture.h"
#include "map/runResultGrids.h"
#include "tests/controllerRecorder.h"
#include "widgets/mapView.h"

namespace {

// Cells of a run of 10 simulations per start cell, all with the same values.
runResultGrids sameCells(int rows, int cols, int passages, int reaching, int shown)
{
    runResultGrids cells;
    cells.displayGrid.assign(rows, cols, shown);
    cells.passageCounts.assign(rows, cols, passages);
    cells.reachingStartCells.assign(rows, cols, reaching);
    cells.elevations.assign(rows, cols, 512.5f);
    cells.numberOfSimulations = 10;
    return cells;
}

// 2 x 3 cells of 10 m, lower-left corner at (1000, 2000): the middle of the south row reached 13 times from 2
// start cells, the east cell of that row without elevation.
runResultGrids tinyRun(int reference)
{
    runResultGrids run = sameCells(2, 3, 0, 0, 80);
    run.header = {2, 3, 1000.0f, 2000.0f, 10.0f, -9999.0f, reference};
    run.displayGrid(1, 1) = -3;
    run.passageCounts(1, 1) = 13;
    run.reachingStartCells(1, 1) = 2;
    run.elevations(1, 2) = -9999.0f;
    return run;
}

}  // namespace

class tst_resultMapPicture : public QObject
{
    Q_OBJECT

private slots:
    void cellColourFollowsItsClass_data()
    {
        QTest::addColumn<bool>("byShare");
        QTest::addColumn<QPoint>("counts");
        QTest::addColumn<int>("shown");
        QTest::addColumn<uint>("colour");
        QTest::newRow("unreached: relief grey") << false << QPoint(0, 0) << 127 << qRgb(127, 127, 127);
        QTest::newRow("exactly 1 %: still first class") << false << QPoint(1, 10) << -1 << 0xffffffb2u;
        QTest::newRow("1.1 %: second class") << false << QPoint(11, 100) << -1 << 0xfffed976u;
        QTest::newRow("exactly 50 %: fifth class") << false << QPoint(5, 1) << -1 << 0xfff03b20u;
        // Without the run's trajectory count the display grid's share (-1: 0.4 %) picks the decade.
        QTest::newRow("share: one passage in many") << true << QPoint(10, 1) << -1 << 0xff41b6c4u;
        QTest::newRow("share: every trajectory") << true << QPoint(1, 100) << -255 << 0xff253494u;
    }

    void cellColourFollowsItsClass()
    {
        QFETCH(bool, byShare);
        QFETCH(QPoint, counts);  // passages, reaching start cells
        QFETCH(int, shown);
        QFETCH(uint, colour);
        const auto mode = byShare ? mapColouring::passageShare : mapColouring::reachProbability;
        QCOMPARE(resultMapImage(sameCells(1, 1, counts.x(), counts.y(), shown), mode).pixel(0, 0), QRgb(colour));
    }

    // Every legend, one line per entry, as tests/data/map-legends.txt (TUMBRA_UPDATE_GOLDEN=1 writes it anew).
    void legendsAsWritten()
    {
        QByteArray text;
        for (const mapColouringRow& colouring : mapColourings()) {
            const mapLegend legend = resultMapLegend(colouring.colouring, {30.0, 300.0});
            for (const legendEntry& entry : legend.entries)
                text += QStringLiteral("%1 | %2 | #%3 | %4\n")
                            .arg(legend.caption, entry.label, QString::number(entry.colour, 16))
                            .arg(entry.upTo)
                            .toUtf8();
        }
        if (qEnvironmentVariableIntValue("TUMBRA_UPDATE_GOLDEN") == 1)
            QVERIFY(writeTextFile(TEST_DATA_DIR "/map-legends.txt", text));
        QCOMPARE(text, readTextFile(TEST_DATA_DIR "/map-legends.txt"));
    }

    // Every swatch of the probability legend is the colour of the cells of its class.
    void legendsMatchTheMap()
    {
        const mapLegend probability = resultMapLegend(mapColouring::reachProbability);
        const int passagesInClass[] = {1, 3, 8, 20, 40, 90};  // of 10 x 10 trajectories, in percent
        for (int i = 0; i < 6; ++i)
            QCOMPARE(
                resultMapImage(sameCells(1, 1, passagesInClass[i], 10, -1), mapColouring::reachProbability).pixel(0, 0),
                probability.entries[i].colour);
        // Start cells of 0, 0.5, 5, 30 and 80 % source share, then a passed cell that is none.
        runResultGrids sources = sameCells(1, 6, 1, 1, -1);
        objectReachTotals totals;
        totals.startCellTrajectories = {0, 1, 10, 60, 160};
        sources.sourceShares.emplace(std::vector<startCell>{{0, 0}, {0, 1}, {0, 2}, {0, 3}, {0, 4}}, totals, 200, 6,
                                     -9999.0f);
        const mapLegend source = resultMapLegend(mapColouring::sourceShare);
        for (int i = 0; i < 6; ++i)
            QCOMPARE(resultMapImage(sources, mapColouring::sourceShare).pixel(i, 0), source.entries[i].colour);
        QCOMPARE(shownColouring(sameCells(1, 1, 1, 1, -1), mapColouring::sourceShare), mapColouring::reachProbability);
        const mapLegend share = resultMapLegend(mapColouring::passageShare);
        // Shares of 1 passage in 10000, 1000, 100, 10 and 1 trajectory fall in the decades in turn.
        runResultGrids run = sameCells(1, 1, 1, 1, -1);
        for (int i = 0; i < 5; ++i) {
            run.trajectories = uint64_t(std::pow(10.0, 4 - i));
            QCOMPARE(resultMapImage(run, mapColouring::passageShare).pixel(0, 0), share.entries[i].colour);
        }
    }

    // The map, the written style (QGIS gives a value the first stop at or above it) and the
    // Reach_prob_<E>kJ counts put a cell in the same energy class, also at a class limit.
    void energyClassAgreesEverywhere_data()
    {
        QTest::addColumn<double>("limitAbove");  // how far the middle limit lies above the cell's energy
        QTest::addColumn<int>("energyClass");
        QTest::newRow("at a limit: the class above") << 0.0 << 2;
        QTest::newRow("just under a limit: the class below") << 1e-9 << 1;
    }

    void energyClassAgreesEverywhere()
    {
        QFETCH(double, limitAbove);
        QFETCH(int, energyClass);
        runResultGrids run = sameCells(1, 1, 1, 1, -1);
        run.intensityOptions.enabled = true;
        run.intensityOptions.blockVolume = 1.0;
        const double energy = energyOfHeight(run.intensityOptions, 2.0);
        run.intensityOptions.energyClassLimits = {energy / 2, energy + limitAbove, energy * 2};
        run.intensity.assign(1, 1, run.intensityOptions);
        run.intensity.addTrajectory({{0, 2.0}}, run.intensityOptions);
        const QRgb shown = resultMapImage(run, mapColouring::energyClass).pixel(0, 0);
        QCOMPARE(shown, resultMapLegend(mapColouring::energyClass, run.intensityOptions.energyClassLimits)
                            .entries[energyClass]
                            .colour);
        const layerStyle style = energyClassStyle({1, run.intensityOptions, false});
        const auto stop = std::find_if(style.stops.begin(), style.stops.end(),
                                       [energy](const styleStop& s) { return s.value >= energy; });
        QCOMPARE(stop - style.stops.begin(), energyClass);
        QCOMPARE(int(std::count_if(run.intensity.classCounts.begin(), run.intensity.classCounts.end(),
                                   [](const grid<int32_t>& counts) { return counts(0, 0) == 1; })),
                 energyClass);
    }

    void readoutDescribesTheCell_data()
    {
        QTest::addColumn<int>("reference");
        QTest::addColumn<QPoint>("cell");  // column, row
        QTest::addColumn<QString>("readout");
        const int corner = rasterHeader::corner;
        QTest::newRow("north-west, unreached")
            << corner << QPoint(0, 0)
            << "Row 0, column 0 | x 1005.0, y 2015.0 | elevation 512.5 m | 0 passages | reach probability 0.0 %";
        QTest::newRow("reached")
            << corner << QPoint(1, 1)
            << "Row 1, column 1 | x 1015.0, y 2005.0 | elevation 512.5 m | 13 passages | reach probability 65.0 %";
        QTest::newRow("no elevation") << corner << QPoint(2, 1)
                                      << "Row 1, column 2 | x 1025.0, y 2005.0 | no elevation";
        QTest::newRow("centre reference")
            << int(rasterHeader::center) << QPoint(0, 0)
            << "Row 0, column 0 | x 1000.0, y 2010.0 | elevation 512.5 m | 0 passages | reach probability 0.0 %";
        QTest::newRow("outside") << corner << QPoint(0, 2) << QString();
        QTest::newRow("one passage, in the singular")
            << -2 << QPoint(1, 0)
            << "Row 0, column 1 | x 1015.0, y 2015.0 | elevation 512.5 m | 1 passage | reach probability 10.0 %";
        QTest::newRow("start cell of a run with objects")
            << -1 << QPoint(1, 1)
            << "Row 1, column 1 | x 1015.0, y 2005.0 | elevation 512.5 m | 13 passages | reach probability 65.0 % | "
               "source share 37.5 %";
    }

    void readoutDescribesTheCell()
    {
        QFETCH(int, reference);
        QFETCH(QPoint, cell);
        QFETCH(QString, readout);
        runResultGrids run = tinyRun(std::max(reference, int(rasterHeader::corner)));
        if (reference == -2)
            run.passageCounts(0, 1) = 1, run.reachingStartCells(0, 1) = 1;
        else if (reference < 0) {  // objects at risk: 3 of the 8 trajectories of start cell (1, 1) reached one
            objectReachTotals totals;
            totals.startCellTrajectories = {3};
            run.sourceShares.emplace(std::vector<startCell>{{1, 1}}, totals, 8, 3, -9999.0f);
        }
        QCOMPARE(cellReadout(run, cell.y(), cell.x()), readout);
    }

    void viewFindsTheCellUnderTheMouse()
    {
        mapView view;
        view.resize(300, 200);
        view.setPicture(resultMapImage(tinyRun(rasterHeader::corner), mapColouring::reachProbability));
        QCOMPARE(view.zoom(), 100.0);
        QCOMPARE(view.cellAt(QPointF(150, 150)), QPoint(1, 1));
        QCOMPARE(view.cellAt(QPointF(301, 10)), QPoint(-1, -1));
        view.zoomBy(2.0, QPointF(0, 0));
        QCOMPARE(view.cellAt(QPointF(150, 150)), QPoint(0, 0));
    }

    void pngDecodesAsDrawn_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::newRow("one pixel") << QSize(1, 1);
        QTest::newRow("matches across lines") << QSize(20, 500);
        QTest::newRow("several bands") << QSize(4000, 200);
        QTest::newRow("lines longer than a match reaches") << QSize(11000, 3);
    }

    void pngDecodesAsDrawn()
    {
        QFETCH(QSize, size);
        QImage drawn(size, QImage::Format_RGB32);  // flat runs and noise, in grey and in colour
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x) {
                const uint32_t noise = (uint32_t(x) * 2654435761u) ^ (uint32_t(y) * 40503u);
                drawn.setPixel(x, y,
                               (x / 64 + y / 8) % 3 ? qRgb(noise >> 26, noise >> 26, noise >> 16 & 0xff) : 0xffc83c1e);
            }
        const QByteArray png = pngPictureBytes(size.width(), size.height(), [&](int y, QRgb* pixels) {
            std::copy_n(reinterpret_cast<const QRgb*>(drawn.constScanLine(y)), size.width(), pixels);
        });
        // The zlib stream whole, its checksum too, which a PNG reader may skip.
        const int lineBytes = size.height() * (3 * size.width() + 1);
        QByteArray stream(4, '\0');  // qUncompress's length first
        qToBigEndian<quint32>(lineBytes, stream.data());
        for (qsizetype at = 8; at + 12 <= png.size(); at += 12 + qFromBigEndian<quint32>(png.constData() + at))
            if (png.mid(at + 4, 4) == "IDAT")
                stream += png.mid(at + 8, qFromBigEndian<quint32>(png.constData() + at));
        QCOMPARE(qUncompress(stream).size(), lineBytes);
        QCOMPARE(QImage::fromData(png).convertToFormat(QImage::Format_RGB32), drawn);
    }
};

QTEST_MAIN(tst_resultMapPicture)
#include "tst_resultMapPicture.moc"
