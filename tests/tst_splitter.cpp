#include <QEnterEvent>
#include <QImage>
#include <QPalette>
#include <QPixmap>
#include <QTest>
#include <memory>

#include "widgets/QVisibleHandleSplitter.h"

namespace
{

const QColor lightColour(0, 200, 0);
const QColor midColour(0, 0, 200);
const QColor highlightColour(200, 60, 20);

struct splitterWindow
{
    std::unique_ptr<QVisibleHandleSplitter> splitter;

    // Two plain panes with a 5 pixel handle; `length` is the splitter's
    // extent along its orientation, 200 pixels across it.
    splitterWindow(Qt::Orientation orientation, int length, int panes = 2)
        : splitter(new QVisibleHandleSplitter(orientation))
    {
        splitter->setHandleWidth(5);
        for (int i = 0; i < panes; ++i)
            splitter->addWidget(new QWidget);
        splitter->resize(orientation == Qt::Horizontal ? QSize(length, 200) : QSize(200, length));
        splitter->show();
    }

    QVisibleGripSplitterHandle* gripHandle() const
    {
        return qobject_cast<QVisibleGripSplitterHandle*>(splitter->handle(1));
    }

    int handlePosition() const
    {
        const QRect geometry = splitter->handle(1)->geometry();
        return splitter->orientation() == Qt::Horizontal ? geometry.x() : geometry.y();
    }
};

void usePlainColours(QWidget* handle)
{
    QPalette colours = handle->palette();
    colours.setColor(QPalette::Light, lightColour);
    colours.setColor(QPalette::Mid, midColour);
    colours.setColor(QPalette::Highlight, highlightColour);
    handle->setPalette(colours);
}

// The handle as painted, read along its length (`along`) and across it.
class paintedHandle
{
public:
    explicit paintedHandle(QSplitterHandle* handle)
        : image(handle->grab().toImage())
        , horizontal(handle->orientation() == Qt::Horizontal)
    {
    }

    int length() const { return horizontal ? image.height() : image.width(); }
    int thickness() const { return horizontal ? image.width() : image.height(); }
    QRgb at(int along, int across) const
    {
        return horizontal ? image.pixel(across, along) : image.pixel(along, across);
    }
    // The colour when the whole line across the handle has one colour, else 0.
    QRgb lineColour(int along) const
    {
        const QRgb first = at(along, 0);
        for (int across = 1; across < thickness(); ++across)
            if (at(along, across) != first)
                return 0;
        return first;
    }

private:
    QImage image;
    bool horizontal;
};

} // namespace

class tst_splitter : public QObject
{
    Q_OBJECT

private slots:
    void gripIsStripedBlockInTheMiddle_data()
    {
        QTest::addColumn<Qt::Orientation>("orientation");
        QTest::addColumn<int>("gripLength");
        QTest::addColumn<int>("gripStart");
        QTest::addColumn<int>("stripes");

        // Handle 200 long: centre (0 + 199) / 2 = 99. A hidden grip (length 0
        // here) leaves the grip colours out altogether at the next repaint.
        QTest::newRow("horizontal, default") << Qt::Horizontal << 96 << 51 << 48;
        QTest::newRow("vertical, default") << Qt::Vertical << 96 << 51 << 48;
        QTest::newRow("odd length") << Qt::Horizontal << 7 << 96 << 3;
        QTest::newRow("hidden") << Qt::Horizontal << 0 << 200 << 0;
    }

    void gripIsStripedBlockInTheMiddle()
    {
        QFETCH(Qt::Orientation, orientation);
        QFETCH(int, gripLength);
        QFETCH(int, gripStart);
        QFETCH(int, stripes);

        splitterWindow window(orientation, 300);
        QVERIFY(QTest::qWaitForWindowExposed(window.splitter.get()));
        QVisibleGripSplitterHandle* handle = window.gripHandle();
        QVERIFY(handle);
        QCOMPARE(handle->gripLength(), 96);
        QVERIFY(handle->testAttribute(Qt::WA_MouseTracking));
        usePlainColours(handle);
        if (gripLength > 0) {
            handle->setGripLength(gripLength);
        } else {
            window.splitter->setGripVisible(false);
            QVERIFY(!handle->gripVisible());
        }

        const paintedHandle painted(handle);
        QCOMPARE(painted.thickness(), 5);
        QCOMPARE(painted.length(), 200);

        const int gripEnd = gripStart + gripLength - 1;
        int stripeCount = 0;
        for (int along = 0; along < painted.length(); ++along) {
            const QRgb colour = painted.lineColour(along);
            if (along < gripStart || along > gripEnd) {
                QVERIFY2(colour != lightColour.rgb() && colour != midColour.rgb(),
                         qPrintable(QString("grip colour outside the grip at %1").arg(along)));
                continue;
            }
            const bool stripe = (along - gripStart) % 2 == 0 && along < gripEnd;
            QCOMPARE(colour, stripe ? midColour.rgb() : lightColour.rgb());
            stripeCount += stripe ? 1 : 0;
        }
        QCOMPARE(stripeCount, stripes);
    }

    void hoverHighlightsAndLeaveRestores()
    {
        splitterWindow window(Qt::Horizontal, 300);
        QVERIFY(QTest::qWaitForWindowExposed(window.splitter.get()));
        QVisibleGripSplitterHandle* handle = window.gripHandle();
        usePlainColours(handle);

        QEnterEvent enter(QPointF(2, 100), QPointF(2, 100), QPointF(2, 100));
        QApplication::sendEvent(handle, &enter);
        QVERIFY(handle->hovered());

        const QColor gripColour = highlightColour.lighter(150);
        const QColor stripeColour = gripColour.darker(200);
        {
            const paintedHandle painted(handle);
            QCOMPARE(painted.lineColour(0), highlightColour.rgb());
            QCOMPARE(painted.lineColour(50), highlightColour.rgb());
            QCOMPARE(painted.lineColour(51), stripeColour.rgb());
            QCOMPARE(painted.lineColour(52), gripColour.rgb());
            QCOMPARE(painted.lineColour(145), stripeColour.rgb());
            QCOMPARE(painted.lineColour(146), gripColour.rgb());
            QCOMPARE(painted.lineColour(147), highlightColour.rgb());
            QCOMPARE(painted.lineColour(199), highlightColour.rgb());
        }

        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(handle, &leave);
        QVERIFY(!handle->hovered());
        {
            const paintedHandle painted(handle);
            QVERIFY(painted.lineColour(0) != highlightColour.rgb());
            QCOMPARE(painted.lineColour(51), midColour.rgb());
            QCOMPARE(painted.lineColour(52), lightColour.rgb());
        }

        // Without highlighting, hovering paints as usual.
        window.splitter->setHighlightOnHover(false);
        QApplication::sendEvent(handle, &enter);
        QVERIFY(handle->hovered());
        const paintedHandle painted(handle);
        QVERIFY(painted.lineColour(0) != highlightColour.rgb());
        QCOMPARE(painted.lineColour(51), midColour.rgb());
    }

    void collapseAndExpand_data()
    {
        QTest::addColumn<Qt::Orientation>("orientation");
        QTest::newRow("horizontal") << Qt::Horizontal;
        QTest::newRow("vertical") << Qt::Vertical;
    }

    void collapseAndExpand()
    {
        QFETCH(Qt::Orientation, orientation);
        // 305 pixels: handle 1 moves between 0 and 300.
        splitterWindow window(orientation, 305);
        QVERIFY(QTest::qWaitForWindowExposed(window.splitter.get()));

        // Expanding is only for a collapsed second widget.
        window.splitter->setSizes({250, 50});
        window.splitter->expandSecondWidget();
        QCOMPARE(window.splitter->sizes(), (QList<int>{250, 50}));

        window.splitter->collapseSecondWidget();
        QCOMPARE(window.splitter->sizes(), (QList<int>{300, 0}));
        QCOMPARE(window.handlePosition(), 300);

        window.splitter->expandSecondWidget();
        QCOMPARE(window.handlePosition(), 150);
        QCOMPARE(window.splitter->sizes(), (QList<int>{150, 150}));

        window.splitter->collapseFirstWidget();
        QCOMPARE(window.splitter->sizes().at(0), 0);
        QCOMPARE(window.handlePosition(), 0);
        window.splitter->expandSecondWidget();
        QCOMPARE(window.handlePosition(), 0);
    }

    void singleWidgetIgnoresCollapseAndExpand()
    {
        splitterWindow window(Qt::Horizontal, 300, 1);
        QVERIFY(QTest::qWaitForWindowExposed(window.splitter.get()));
        const QList<int> before = window.splitter->sizes();
        window.splitter->collapseFirstWidget();
        window.splitter->collapseSecondWidget();
        window.splitter->expandSecondWidget();
        QCOMPARE(window.splitter->sizes(), before);
    }
};

QTEST_MAIN(tst_splitter)
#include "tst_splitter.moc"
