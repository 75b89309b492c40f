#include "windowfixture.h"

#include "app/formlayout.h"
#include "app/twips.h"
#include "progbar/progbar.h"

#include <QMenuBar>

#include <cmath>

using quorlink::app::FormLayout;
using quorlink::test::WindowFixture;

namespace {

// The controls that must never overlap, in the client area's coordinates.
// The two frames share their edge by design: the management frame's lower
// border is left out.
QList<QRect> placedControls(quorlink::app::MainForm& form)
{
    return {form.controls().Frame1[0]->geometry().adjusted(0, 0, 0, -2),
            form.controls().Frame1[1]->geometry(), form.controls().ProgBar1->geometry(),
            form.controls().asxToolbar1->geometry()};
}

} // namespace

class WindowLayoutTest : public QObject
{
    Q_OBJECT

private slots:
    // Sizes are the window's outer size in twips; below the minimum it snaps back.
    void controlsStayApartAndInsideAtEverySize_data()
    {
        QTest::addColumn<QSize>("requested");
        QTest::addColumn<QSize>("expected");
        QTest::newRow("design") << QSize(9630, 6720) << QSize(9630, 6720);
        QTest::newRow("minimum") << QSize(8295, 3500) << QSize(8295, 3500);
        QTest::newRow("large") << QSize(16000, 11000) << QSize(16000, 11000);
        QTest::newRow("too-small") << QSize(4000, 2000) << QSize(8295, 3500);
    }
    void controlsStayApartAndInsideAtEverySize()
    {
        QFETCH(QSize, requested);
        QFETCH(QSize, expected);
        WindowFixture window;
        auto& form = *window.form;
        form.setOuterSizeTwips(requested.width(), requested.height());
        QTest::qWait(0);
        QVERIFY(qAbs(form.outerWidthTwips() - expected.width()) < 16);
        QVERIFY(qAbs(form.outerHeightTwips() - expected.height()) < 16);
        const QRect client = form.centralWidget()->rect();
        const QList<QRect> controls = placedControls(form);
        for (int i = 0; i < controls.size(); ++i) {
            QVERIFY2(client.contains(controls[i]), qPrintable(QString::number(i)));
            for (int j = i + 1; j < controls.size(); ++j)
                QVERIFY2(!controls[i].intersects(controls[j]),
                         qPrintable(QStringLiteral("%1 %2").arg(i).arg(j)));
        }
        QCOMPARE(form.controls().asxToolbar1->geometry().bottom(), client.bottom());
        // The file name takes half the window, also at the smallest size.
        QCOMPARE(form.controls().StatusBar1->fileNamePanelWidth(),
                 quorlink::app::pixelsFromTwipsX(std::nearbyint(form.outerWidthTwips()) / 2));
        for (int index = 0; index < 4; ++index) {
            auto* list = window.list(index);
            QVERIFY(list->parentWidget()->rect().contains(list->geometry()));
        }
        quorlink::test::saveShot(form, QString::fromLatin1(QTest::currentDataTag()));
    }

    void minimisingLeavesTheLayoutAlone()
    {
        WindowFixture window;
        auto& form = *window.form;
        // The window opens with the design's client area.
        QCOMPARE(form.height() - form.menuBar()->height(),
                 quorlink::app::pixelsFromTwipsY(FormLayout::DesignClientHeight));
        QCOMPARE(form.width(), quorlink::app::pixelsFromTwipsX(FormLayout::DesignClientWidth));
        const QList<QRect> before = placedControls(form);
        form.showMinimized();
        form.setOuterSizeTwips(14000, 9000);
        QTest::qWait(0);
        QCOMPARE(placedControls(form), before);
        form.showNormal();
        QTest::qWait(0);
        QVERIFY(placedControls(form) != before);
    }
};

QTEST_MAIN(WindowLayoutTest)
#include "tst_windowlayout.moc"
