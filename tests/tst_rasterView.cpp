#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QTest>
#include <limits>

#include "widgets/rasterView.h"

namespace
{

// Fine detail that blurs visibly when a scaled copy is scaled up again.
QPixmap checkerboard(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, ((x / 4 + y / 4) % 2) ? qRgb(250, 250, 250) : qRgb(0, 40, 160));
    return QPixmap::fromImage(image);
}

} // namespace

class tst_rasterView : public QObject
{
    Q_OBJECT

private slots:
    void heightForWidth_data()
    {
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");

        QTest::newRow("1000x500 at 400") << QSize(1000, 500) << 400 << 200;
        QTest::newRow("3x1 at 2 truncates") << QSize(3, 1) << 2 << 0;
        QTest::newRow("3x2 at 4 truncates") << QSize(3, 2) << 4 << 2;
        // 1 / 49 * 49 is just below 1 in double: the product must come first.
        QTest::newRow("height times width first") << QSize(49, 49) << 1 << 1;
        QTest::newRow("product beyond int, result within") << QSize(2, 50000) << 50000 << 1250000000;
        QTest::newRow("result beyond int") << QSize(1, 100000) << 100000 << std::numeric_limits<int>::max();
        QTest::newRow("zero width") << QSize(10, 10) << 0 << 0;
    }

    void heightForWidth()
    {
        QFETCH(QSize, picture);
        QFETCH(int, width);
        QFETCH(int, height);

        rasterView view;
        view.resize(30, 20);
        QPixmap source(picture);
        source.fill(Qt::gray);
        view.setPixmap(source);
        QCOMPARE(view.heightForWidth(width), height);
        QCOMPARE(view.sizeHint(), QSize(30, view.heightForWidth(30)));
    }

    void withoutPictureSizeHintIsCurrentSize()
    {
        rasterView view;
        view.resize(123, 45);
        QCOMPARE(view.heightForWidth(400), 45);
        QCOMPARE(view.sizeHint(), QSize(123, 45));
        QCOMPARE(view.minimumSize(), QSize(1, 1));
        QVERIFY(!view.hasScaledContents());
    }

    // The label shows the source scaled to it, and a resize scales the source
    // again, never the copy shown before.
    void resizingRescalesFromTheSource()
    {
        QWidget window;
        window.resize(500, 500);
        auto* view = new rasterView(&window);
        view->resize(400, 400);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        const QPixmap source = checkerboard(1000, 500);
        view->setPixmap(source);
        view->resize(20, 20);
        QCOMPARE(view->pixmap().size(), QSize(20, 10));
        const QPixmap shrunk = view->pixmap();

        view->resize(400, 400);
        const QImage expected =
            source.scaled(400, 400, Qt::KeepAspectRatio, Qt::SmoothTransformation).toImage();
        QCOMPARE(view->pixmap().toImage(), expected);
        QCOMPARE(view->scaledPixmap().toImage(), expected);
        QCOMPARE(view->heightForWidth(400), 200);
        // The comparison means something only if rescaling the small copy differs.
        QVERIFY(shrunk.scaled(400, 400, Qt::KeepAspectRatio, Qt::SmoothTransformation).toImage()
                != expected);
    }

    void nullPictureStaysNullOnResize()
    {
        QWidget window;
        auto* view = new rasterView(&window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        view->setPixmap(checkerboard(8, 8));
        view->setPixmap(QPixmap());
        QVERIFY(view->pixmap().isNull());
        view->resize(50, 60);
        QVERIFY(view->pixmap().isNull());
        QCOMPARE(view->sizeHint(), QSize(50, 60));
    }
};

QTEST_MAIN(tst_rasterView)
#include "tst_rasterView.moc"
