#include "windowfixture.h"

#include "app/formlayout.h"
#include "app/twips.h"
#include "progbar/progbar.h"

#include <QMenuBar>

using quorlink::app::FormLayout;
using quorlink::test::saveShot;
using quorlink::test::WindowFixture;

namespace {

// The controls that must never overlap, in the client area's coordinates.
// The two frames share their edge by design: the management frame's lower
// border is left out.
QList<QRect> placedControls(quorlink::app::MainForm& form)
{
    return {form.Frame1[0]->geometry().adjusted(0, 0, 0, -2), form.Frame1[1]->geometry(),
            form.ProgBar1->geometry(), form.asxToolbar1->geometry()};
}

} // namespace

class WindowLayoutTest : public QObject
{
    Q_OBJECT

private slots:
    void controlsStayApartAndInsideAtEverySize_data()
    {
        QTest::addColumn<double>("width");
        QTest::addColumn<double>("height");
        QTest::addColumn<QString>("shot");
        QTest::newRow("design") << 9630.0 << 6720.0 << "idle";
        QTest::newRow("minimum") << 8295.0 << 3500.0 << "minimum";
        QTest::newRow("large") << 16000.0 << 11000.0 << "large";
    }
    void controlsStayApartAndInsideAtEverySize()
    {
        QFETCH(double, width);
        QFETCH(double, height);
        QFETCH(QString, shot);
        WindowFixture window;
        auto& form = *window.form;
        form.setOuterSizeTwips(width, height);
        QTest::qWait(0);
        QVERIFY(qAbs(form.outerWidthTwips() - width) < 16);
        QVERIFY(qAbs(form.outerHeightTwips() - height) < 16);
        const QRect client = form.centralWidget()->rect();
        const QList<QRect> controls = placedControls(form);
        for (int i = 0; i < controls.size(); ++i) {
            QVERIFY2(client.contains(controls[i]), qPrintable(QString::number(i)));
            for (int j = i + 1; j < controls.size(); ++j)
                QVERIFY2(!controls[i].intersects(controls[j]),
                         qPrintable(QStringLiteral("%1 %2").arg(i).arg(j)));
        }
        QCOMPARE(form.asxToolbar1->geometry().bottom(), client.bottom());
        for (int index = 0; index < 4; ++index) {
            auto* list = window.list(index);
            QVERIFY(list->parentWidget()->rect().contains(list->geometry()));
        }
        saveShot(form, shot);
    }

    void designClientAreaIsTheDesignSize()
    {
        WindowFixture window;
        auto& form = *window.form;
        const int clientHeight = form.height() - form.menuBar()->height();
        QCOMPARE(clientHeight, quorlink::app::pixelsFromTwipsY(FormLayout::DesignClientHeight));
        QCOMPARE(form.width(), quorlink::app::pixelsFromTwipsX(FormLayout::DesignClientWidth));
    }

    void resizingBelowTheMinimumSnapsBack()
    {
        WindowFixture window;
        auto& form = *window.form;
        form.setOuterSizeTwips(4000, 2000);
        QTest::qWait(0);
        QVERIFY(form.outerWidthTwips() >= FormLayout::MinimumOuterWidth - 15);
        QVERIFY(form.outerHeightTwips() >= FormLayout::MinimumOuterHeight - 15);
        QVERIFY(form.outerWidthTwips() < FormLayout::MinimumOuterWidth + 15);
        QVERIFY(form.outerHeightTwips() < FormLayout::MinimumOuterHeight + 15);
    }

    void minimisingLeavesTheLayoutAlone()
    {
        WindowFixture window;
        auto& form = *window.form;
        const QList<QRect> before = placedControls(form);
        form.showMinimized();
        form.setOuterSizeTwips(14000, 9000);
        QTest::qWait(0);
        QCOMPARE(placedControls(form), before);
        form.showNormal();
        QTest::qWait(0);
        QVERIFY(placedControls(form) != before);
    }

    void selectionAndModeShots()
    {
        if (qEnvironmentVariableIsEmpty("QUORLINK_SHOT_DIR"))
            QSKIP("pictures only when QUORLINK_SHOT_DIR is set");
        {
            WindowFixture window;
            window.click(1, 0);
            window.form->setFirmwareFile(
                QStringLiteral("/home/technician/Firmware Update/qdx_mgt231e.hex"));
            saveShot(*window.form, QStringLiteral("manager"));
        }
        {
            WindowFixture window;
            for (int row : {0, 2, 3, 30})
                window.click(2, row);
            window.click(3, 31);
            window.form->ProgBar1->setValue(42);
            window.form->setStatusText(QStringLiteral("Status: Getting version in process ..."));
            window.list(2)->setItemText(0, QStringLiteral("2. Computer 2 F/W - QLREM ver1.07 US"));
            saveShot(*window.form, QStringLiteral("remote"));
        }
        {
            WindowFixture window;
            window.form->mnuAdvanced_Click();
            saveShot(*window.form, QStringLiteral("advanced"));
        }
    }
};

QTEST_MAIN(WindowLayoutTest)
#include "tst_windowlayout.moc"
