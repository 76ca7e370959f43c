#include "windowrig.h"

#include "simplatform.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDockWidget>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include <qcustomplot.h>

namespace {

// Nine telemetry values, so that the colour cycle comes round once.
const char *const nineValues = R"({
  "settings": {"maxPlotXPoints": 20, "maxConsoleLines": 100},
  "commands": [
    {"id": 0, "name": "Telemetry", "in": [
      {"name": "v1", "type": "uint8", "units": "°C"}, {"name": "v2", "type": "int8"},
      {"name": "v3", "type": "uint16"}, {"name": "v4", "type": "int16", "units": "kPa"},
      {"name": "v5", "type": "uint32"}, {"name": "v6", "type": "int32"},
      {"name": "v7", "type": "float"}, {"name": "v8", "type": "double"},
      {"name": "v9", "type": "string", "units": "V"}]},
    {"id": 1, "name": "Ping"}
  ]})";

QStringList flowTexts(QLayout *layout)
{
    QStringList texts;
    for (int i = 0; i < layout->count(); ++i) {
        if (auto *button = qobject_cast<QAbstractButton *>(layout->itemAt(i)->widget()))
            texts << button->text();
    }
    return texts;
}

} // namespace

class TestWindowTree : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir workDir;
    std::unique_ptr<MainWindow> window;

    template <typename T>
    T *child(const char *name)
    {
        return window->findChild<T *>(QString::fromLatin1(name));
    }

private slots:
    void initTestCase()
    {
        static SimPlatform sim;
        HidPlatform::install(&sim);
        QVERIFY(QDir::setCurrent(workDir.path()));
        writeConfig(nineValues);
        window = std::make_unique<MainWindow>();
    }
    void cleanupTestCase()
    {
        window.reset();
        removeConfig();
    }

    void objectsHaveTheirClasses_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("className");
        const QList<QPair<const char *, const char *>> table = {
            {"centralWidget", "QWidget"},          {"verticalLayout_2", "QVBoxLayout"},
            {"horizontalLayout_2", "QHBoxLayout"}, {"lbDevices", "QLabel"},
            {"cbCurrentDevice", "QComboBox"},      {"lbDeviceCount", "QLabel"},
            {"plotsArea", "QScrollArea"},          {"scrollAreaWidgetContents", "QWidget"},
            {"frame", "QGroupBox"},                {"statusBar", "QStatusBar"},
            {"dockWidget", "QDockWidget"},         {"dockWidgetContents", "QWidget"},
            {"verticalLayout", "QVBoxLayout"},     {"treeWidget", "QTreeWidget"},
            {"dockWidget_2", "QDockWidget"},       {"dockWidgetContents_2", "QWidget"},
            {"verticalLayout_3", "QVBoxLayout"},   {"pte", "QPlainTextEdit"},
            {"cbShowAll", "QCheckBox"},            {"dockWidget_3", "QDockWidget"},
            {"dockWidgetContents_3", "QWidget"},   {"verticalLayout_4", "QVBoxLayout"},
            {"horizontalLayout", "QHBoxLayout"},   {"cbCommand", "QComboBox"},
            {"pbSend", "QPushButton"},             {"scrollArea", "QScrollArea"},
            {"scrollAreaWidgetContents_2", "QWidget"}, {"verticalLayout_5", "QVBoxLayout"},
            {"gbOut", "QGroupBox"},                {"gbIn", "QGroupBox"},
        };
        for (const auto &row : table)
            QTest::newRow(row.first) << QString::fromLatin1(row.first) << QString::fromLatin1(row.second);
    }
    void objectsHaveTheirClasses()
    {
        QFETCH(QString, name);
        QFETCH(QString, className);
        const auto found = window->findChildren<QObject *>(name);
        QCOMPARE(found.size(), 1);
        QCOMPARE(QString::fromLatin1(found.first()->metaObject()->className()), className);
    }

    void nesting()
    {
        QCOMPARE(window->objectName(), QStringLiteral("MainWindow"));
        QCOMPARE(window->centralWidget(), child<QWidget>("centralWidget"));
        QCOMPARE(window->statusBar(), child<QStatusBar>("statusBar"));
        QCOMPARE(child<QWidget>("centralWidget")->layout(), child<QLayout>("verticalLayout_2"));
        QLayout *central = child<QLayout>("verticalLayout_2");
        QCOMPARE(central->itemAt(0)->layout(), child<QLayout>("horizontalLayout_2"));
        QCOMPARE(central->itemAt(1)->widget(), child<QWidget>("plotsArea"));
        QCOMPARE(central->itemAt(2)->widget(), child<QWidget>("frame"));
        QLayout *deviceRow = child<QLayout>("horizontalLayout_2");
        QCOMPARE(deviceRow->itemAt(0)->widget(), child<QWidget>("lbDevices"));
        QCOMPARE(deviceRow->itemAt(1)->widget(), child<QWidget>("cbCurrentDevice"));
        QCOMPARE(deviceRow->itemAt(2)->widget(), child<QWidget>("lbDeviceCount"));
        QCOMPARE(child<QHBoxLayout>("horizontalLayout_2")->stretch(1), 1);
        QCOMPARE(child<QScrollArea>("plotsArea")->widget(), child<QWidget>("scrollAreaWidgetContents"));
        QCOMPARE(child<QDockWidget>("dockWidget")->widget(), child<QWidget>("dockWidgetContents"));
        QCOMPARE(child<QWidget>("dockWidgetContents")->layout(), child<QLayout>("verticalLayout"));
        QCOMPARE(child<QLayout>("verticalLayout")->itemAt(0)->widget(), child<QWidget>("treeWidget"));
        QCOMPARE(child<QDockWidget>("dockWidget_2")->widget(), child<QWidget>("dockWidgetContents_2"));
        QCOMPARE(child<QLayout>("verticalLayout_3")->itemAt(0)->widget(), child<QWidget>("pte"));
        QCOMPARE(child<QLayout>("verticalLayout_3")->itemAt(1)->widget(), child<QWidget>("cbShowAll"));
        QCOMPARE(child<QDockWidget>("dockWidget_3")->widget(), child<QWidget>("dockWidgetContents_3"));
        QLayout *commandPanel = child<QLayout>("verticalLayout_4");
        QCOMPARE(commandPanel->itemAt(0)->layout(), child<QLayout>("horizontalLayout"));
        QCOMPARE(commandPanel->itemAt(1)->widget(), child<QWidget>("scrollArea"));
        QCOMPARE(child<QHBoxLayout>("horizontalLayout")->stretch(0), 1);
        QCOMPARE(child<QLayout>("horizontalLayout")->itemAt(0)->widget(), child<QWidget>("cbCommand"));
        QCOMPARE(child<QLayout>("horizontalLayout")->itemAt(1)->widget(), child<QWidget>("pbSend"));
        QCOMPARE(child<QScrollArea>("scrollArea")->widget(), child<QWidget>("scrollAreaWidgetContents_2"));
        QCOMPARE(child<QLayout>("verticalLayout_5")->itemAt(0)->widget(), child<QWidget>("gbOut"));
        QCOMPARE(child<QLayout>("verticalLayout_5")->itemAt(1)->widget(), child<QWidget>("gbIn"));
        for (const char *name : {"verticalLayout_2", "verticalLayout", "verticalLayout_3",
                                 "verticalLayout_4", "verticalLayout_5"}) {
            QCOMPARE(child<QLayout>(name)->spacing(), 6);
            QCOMPARE(child<QLayout>(name)->contentsMargins(), QMargins(11, 11, 11, 11));
        }
        QVERIFY(!window->menuWidget());
    }

    void texts_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::newRow("lbDevices") << "lbDevices" << "Устройство:";
        QTest::newRow("frame") << "frame" << "Видимые графики";
        QTest::newRow("dockWidget") << "dockWidget" << "Текущие значения";
        QTest::newRow("dockWidget_2") << "dockWidget_2" << "Сырые данные";
        QTest::newRow("cbShowAll") << "cbShowAll" << "Показывать все данные";
        QTest::newRow("dockWidget_3") << "dockWidget_3" << "Команды";
        QTest::newRow("pbSend") << "pbSend" << "Выполнить";
        QTest::newRow("gbOut") << "gbOut" << "Запрос";
        QTest::newRow("gbIn") << "gbIn" << "Ответ";
    }
    void texts()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QObject *object = window->findChild<QObject *>(name);
        QVERIFY(object);
        QString shown;
        if (auto *label = qobject_cast<QLabel *>(object))
            shown = label->text();
        else if (auto *button = qobject_cast<QAbstractButton *>(object))
            shown = button->text();
        else if (auto *group = qobject_cast<QGroupBox *>(object))
            shown = group->title();
        else if (auto *dock = qobject_cast<QDockWidget *>(object))
            shown = dock->windowTitle();
        QCOMPARE(shown, text);
    }

    void windowSettings()
    {
        QCOMPARE(window->windowTitle(), QStringLiteral("Tolvex_Client 1.7 - Программа управления ТРЕМ"));
        QCOMPARE(window->size(), QSize(1174, 707));
        QCOMPARE(window->styleSheet(),
                 QStringLiteral("QToolTip { color: #333; background-color: #fff; border: 1px solid 333; }"));
        QCOMPARE(child<QLabel>("lbDevices")->font().pointSize(), 8);
        QCOMPARE(child<QComboBox>("cbCurrentDevice")->font().pointSize(), 8);
        for (const char *name : {"cbCurrentDevice", "cbShowAll", "cbCommand", "pbSend"})
            QCOMPARE(child<QWidget>(name)->cursor().shape(), Qt::PointingHandCursor);
        QVERIFY(!child<QCheckBox>("cbShowAll")->isChecked());
        auto *plotsArea = child<QScrollArea>("plotsArea");
        QVERIFY(plotsArea->widgetResizable());
        QCOMPARE(plotsArea->sizeAdjustPolicy(), QAbstractScrollArea::AdjustToContents);
        QVERIFY(child<QScrollArea>("scrollArea")->widgetResizable());
    }

    void docks()
    {
        auto *values = child<QDockWidget>("dockWidget");
        auto *raw = child<QDockWidget>("dockWidget_2");
        auto *commands = child<QDockWidget>("dockWidget_3");
        QCOMPARE(window->dockWidgetArea(values), Qt::LeftDockWidgetArea);
        QCOMPARE(window->dockWidgetArea(raw), Qt::LeftDockWidgetArea);
        QCOMPARE(window->dockWidgetArea(commands), Qt::RightDockWidgetArea);
        const auto features = QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable;
        for (QDockWidget *dock : {values, raw, commands}) {
            QCOMPARE(dock->features(), features);
            QVERIFY(!dock->isFloating());
        }
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QVERIFY(raw->y() > values->y()); // the raw data dock lies below the current values
        QVERIFY(commands->x() > values->x());
    }

    void currentValuesTree()
    {
        auto *tree = child<QTreeWidget>("treeWidget");
        QCOMPARE(tree->columnCount(), 3);
        QCOMPARE(tree->headerItem()->text(0), QStringLiteral("Параметр"));
        QCOMPARE(tree->headerItem()->text(1), QStringLiteral("Значение"));
        QCOMPARE(tree->headerItem()->text(2), QStringLiteral("Ед. изм"));
        QVERIFY(tree->header()->cascadingSectionResizes());
        QCOMPARE(tree->header()->minimumSectionSize(), 20);
        QVERIFY(tree->header()->stretchLastSection());
        QCOMPARE(tree->topLevelItemCount(), 9);
        QCOMPARE(tree->topLevelItem(0)->text(0), QStringLiteral("v1"));
        QCOMPARE(tree->topLevelItem(0)->text(2), QStringLiteral("°C"));
        QCOMPARE(tree->topLevelItem(1)->text(2), QString()); // no units
        QCOMPARE(tree->topLevelItem(8)->text(0), QStringLiteral("v9"));
        for (int i = 0; i < 9; ++i)
            QCOMPARE(tree->topLevelItem(i)->text(1), QString());
    }

    void plotsTakeColoursTitlesAndLabels()
    {
        MainWindowProbe probe(*window);
        const QList<QColor> cycle = {Qt::red,      Qt::blue,    Qt::darkRed,  Qt::darkGreen, Qt::darkBlue,
                                     Qt::magenta,  Qt::darkCyan, Qt::darkMagenta, Qt::red};
        QCOMPARE(probe.plots().size(), 9);
        QLayout *plotColumn = child<QWidget>("scrollAreaWidgetContents")->layout();
        for (int i = 0; i < 9; ++i) {
            QCustomPlot *plot = probe.plots().at(i);
            QCOMPARE(plotColumn->itemAt(i)->widget(), plot);
            QCOMPARE(plot->graphCount(), 1);
            QCOMPARE(plot->graph(0)->pen().color(), cycle.at(i));
            QCOMPARE(plot->graph(0)->pen().width(), 2);
            auto *title = qobject_cast<QCPTextElement *>(plot->plotLayout()->element(0, 0));
            QVERIFY(title);
            QCOMPARE(title->text(), QStringLiteral("v%1").arg(i + 1));
            // Bold, half as large again as the plot's font, margins 5, 5, 5, 0.
            QVERIFY(title->font().bold());
            QCOMPARE(title->font().pointSizeF(), plot->font().pointSizeF() * 1.5);
            QCOMPARE(title->margins(), QMargins(5, 5, 5, 0));
            QCOMPARE(plot->plotLayout()->element(1, 0), plot->axisRect());
            QCOMPARE(plot->xAxis->label(), QStringLiteral("замеры"));
            QCOMPARE(plot->minimumHeight(), 200);
            QVERIFY(plot->interactions().testFlag(QCP::iRangeDrag));
            QVERIFY(plot->interactions().testFlag(QCP::iRangeZoom));
        }
        QCOMPARE(probe.plots().at(0)->yAxis->label(), QStringLiteral("°C"));
        QCOMPARE(probe.plots().at(1)->yAxis->label(), QString());
        QCOMPARE(probe.plots().at(3)->yAxis->label(), QStringLiteral("kPa"));
        QCOMPARE(probe.plots().at(8)->yAxis->label(), QStringLiteral("V"));
    }

    void switchesThenButtonsThenPauseInTheFlow()
    {
        MainWindowProbe probe(*window);
        QStringList expected;
        for (int i = 1; i <= 9; ++i)
            expected << QStringLiteral("v%1").arg(i);
        expected << QStringLiteral("Скрыть все") << QStringLiteral("Показывать все") << QStringLiteral("Пауза");
        QCOMPARE(flowTexts(child<QGroupBox>("frame")->layout()), expected);
        for (QCheckBox *plotSwitch : probe.plotSwitches()) {
            QVERIFY(plotSwitch->isChecked());
            QCOMPARE(plotSwitch->cursor().shape(), Qt::PointingHandCursor);
        }
    }

    void hideAndShowAll()
    {
        MainWindowProbe probe(*window);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QPushButton *hideAll = nullptr;
        QPushButton *showAll = nullptr;
        for (QPushButton *button : window->findChildren<QPushButton *>()) {
            if (button->text() == QStringLiteral("Скрыть все"))
                hideAll = button;
            if (button->text() == QStringLiteral("Показывать все"))
                showAll = button;
        }
        QVERIFY(hideAll && showAll);

        probe.plotSwitches().at(2)->setChecked(false);
        QVERIFY(probe.plots().at(2)->isHidden());
        QVERIFY(!probe.plots().at(1)->isHidden());

        QTest::mouseClick(hideAll, Qt::LeftButton);
        for (int i = 0; i < 9; ++i) {
            QVERIFY(!probe.plotSwitches().at(i)->isChecked());
            QVERIFY(probe.plots().at(i)->isHidden());
            QVERIFY(probe.plotSwitches().at(i)->isVisible());
        }
        QVERIFY(hideAll->isVisible() && showAll->isVisible());

        QTest::mouseClick(showAll, Qt::LeftButton);
        for (int i = 0; i < 9; ++i) {
            QVERIFY(probe.plotSwitches().at(i)->isChecked());
            QVERIFY(probe.plots().at(i)->isVisible());
        }
    }

    void replotShowsTheWindowOfPointsAndTheTexts()
    {
        MainWindowProbe probe(*window);
        probe.plotSwitches().at(1)->setChecked(false);
        probe.replot();
        // Before any report a plot shows a flat line at 0 over keys -N .. -1.
        QCPGraph *graph = probe.plots().at(0)->graph(0);
        QCOMPARE(graph->dataCount(), 20);
        QCOMPARE(graph->data()->at(0)->key, -20.0);
        QCOMPARE(graph->data()->at(19)->key, -1.0);
        QCOMPARE(graph->data()->at(19)->value, 0.0);
        QCOMPARE(probe.plots().at(0)->xAxis->range(), QCPRange(-20, -1));
        // A switched-off plot gets nothing.
        QCOMPARE(probe.plots().at(1)->graph(0)->dataCount(), 0);
        probe.plotSwitches().at(1)->setChecked(true);
        probe.replot();
        QCOMPARE(probe.plots().at(1)->graph(0)->dataCount(), 20);
    }
};

QTEST_MAIN(TestWindowTree)
#include "tst_windowtree.moc"
