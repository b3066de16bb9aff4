#include <QAction>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextBrowser>
#include <QtTest>

#include "gui_test_support.h"
#include "shell/guide_viewer.h"
#include "shell/main_window.h"
#include "shell/tile_grid.h"

using namespace tamsel;

class WindowsTest : public QObject {
    Q_OBJECT

    // The user's settings stay untouched: every QSettings of this program lives here.
    QTemporaryDir m_settings;

  private slots:
    void initTestCase() {
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(m_settings.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settings.path());
    }

    void TileGridKeepsWindowsReadable_data() {
        QTest::addColumn<QSize>("area");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("columns");
        QTest::addColumn<QSize>("cell");
        QTest::newRow("one fills the area") << QSize(1200, 800) << 1 << 1 << QSize(1200, 800);
        QTest::newRow("two side by side") << QSize(1200, 500) << 2 << 2 << QSize(600, 500);
        QTest::newRow("four in a square") << QSize(1200, 800) << 4 << 2 << QSize(600, 400);
        QTest::newRow("five in three columns") << QSize(1500, 700) << 5 << 3 << QSize(500, 350);
        // Too many to fit: the smallest cells, as many columns as the width holds.
        QTest::newRow("six overflow") << QSize(1000, 600) << 6 << 2 << QSize(500, 320);
    }
    void TileGridKeepsWindowsReadable() {
        QFETCH(QSize, area);
        QFETCH(int, count);
        QFETCH(int, columns);
        QFETCH(QSize, cell);
        const std::vector<QRect> cells = TileGrid(area, count, kSmallestTile);
        QCOMPARE(static_cast<int>(cells.size()), count);
        for (int i = 0; i < count; ++i) {
            QCOMPARE(cells[i].size(), cell);
            QCOMPARE(cells[i].topLeft(),
                     QPoint((i % columns) * cell.width(), (i / columns) * cell.height()));
        }
        QVERIFY(TileGrid(area, 0, kSmallestTile).empty());
    }

    void MainWindowReopensWhereItWasClosed() {
        SystemDesktop desktop;
        QVERIFY(QSettings(QStringLiteral("Tamsel"), QStringLiteral("Tamsel"))
                    .fileName()
                    .startsWith(m_settings.path()));
        {
            MainWindow first(desktop);
            first.resize(1111, 777);
            first.show();
            QVERIFY(QTest::qWaitForWindowExposed(&first));
            first.close();
        }
        MainWindow second(desktop);
        QCOMPARE(second.size(), QSize(1111, 777));
        // A desktop that keeps nothing gives the default size.
        guitest::FakeDesktop forgetful;
        QCOMPARE(MainWindow(forgetful).size(), QSize(1000, 700));
    }

    void F1OpensTheGuideWithItsScreenshots() {
        guitest::FakeDesktop desktop;
        MainWindow window(desktop);
        QAction* item = window.findChild<QAction*>(QStringLiteral("mnuHelpUserGuide"));
        QCOMPARE(item->shortcut(), QKeySequence(QKeySequence::HelpContents));
        item->trigger();
        auto* viewer = window.findChild<GuideViewer*>();
        QVERIFY(viewer && viewer->isVisible());
        QTextDocument* guide = viewer->Browser()->document();
        QCOMPARE(guide->findBlockByNumber(0).text(), QStringLiteral("Tamsel user guide"));
        QVERIFY(!guide->find(QStringLiteral("A first session")).isNull());
        // The images are read relative to the guide's own folder.
        const QUrl shot(QStringLiteral("screenshots/main-window.png"));
        QVERIFY(!viewer->Browser()->loadResource(QTextDocument::ImageResource, shot).isNull());
        // Asking again reuses the one viewer.
        item->trigger();
        QCOMPARE(window.findChildren<GuideViewer*>().size(), 1);
    }
};

QTEST_MAIN(WindowsTest)
#include "windows_test.moc"
