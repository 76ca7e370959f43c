#include "mainwindowform.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDockWidget>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QStatusBar>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

template <typename Layout>
Layout *boxLayout(QWidget *owner, const char *name)
{
    auto *layout = new Layout(owner);
    layout->setSpacing(6);
    layout->setContentsMargins(11, 11, 11, 11);
    layout->setObjectName(QString::fromLatin1(name));
    return layout;
}

template <typename Widget>
Widget *named(Widget *widget, const char *name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QDockWidget *dock(QMainWindow *window, const char *name)
{
    auto *widget = named(new QDockWidget(window), name);
    widget->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
    return widget;
}

} // namespace

void MainWindowForm::setupForm(QMainWindow *window)
{
    if (window->objectName().isEmpty())
        window->setObjectName(QStringLiteral("MainWindow"));
    window->resize(1174, 707);
    window->setStyleSheet(QStringLiteral(
        "QToolTip { color: #333; background-color: #fff; border: 1px solid 333; }"));

    centralWidget = named(new QWidget(window), "centralWidget");
    verticalLayout_2 = boxLayout<QVBoxLayout>(centralWidget, "verticalLayout_2");

    horizontalLayout_2 = named(new QHBoxLayout(), "horizontalLayout_2");
    horizontalLayout_2->setSpacing(6);
    lbDevices = named(new QLabel(centralWidget), "lbDevices");
    QFont smallFont;
    smallFont.setPointSize(8);
    lbDevices->setFont(smallFont);
    horizontalLayout_2->addWidget(lbDevices);
    cbCurrentDevice = named(new QComboBox(centralWidget), "cbCurrentDevice");
    QFont deviceFont;
    deviceFont.setPointSize(8);
    deviceFont.setWeight(50);
    cbCurrentDevice->setFont(deviceFont);
    cbCurrentDevice->setCursor(QCursor(Qt::PointingHandCursor));
    horizontalLayout_2->addWidget(cbCurrentDevice);
    lbDeviceCount = named(new QLabel(centralWidget), "lbDeviceCount");
    horizontalLayout_2->addWidget(lbDeviceCount);
    horizontalLayout_2->setStretch(1, 1);
    verticalLayout_2->addLayout(horizontalLayout_2);

    plotsArea = named(new QScrollArea(centralWidget), "plotsArea");
    plotsArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    plotsArea->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
    plotsArea->setWidgetResizable(true);
    scrollAreaWidgetContents = named(new QWidget(), "scrollAreaWidgetContents");
    plotsArea->setWidget(scrollAreaWidgetContents);
    verticalLayout_2->addWidget(plotsArea);

    frame = named(new QGroupBox(centralWidget), "frame");
    verticalLayout_2->addWidget(frame);
    window->setCentralWidget(centralWidget);

    statusBar = named(new QStatusBar(window), "statusBar");
    statusBar->setStyleSheet(QString());
    window->setStatusBar(statusBar);

    dockWidget = dock(window, "dockWidget");
    dockWidget->setFloating(false);
    dockWidgetContents = named(new QWidget(), "dockWidgetContents");
    verticalLayout = boxLayout<QVBoxLayout>(dockWidgetContents, "verticalLayout");
    treeWidget = named(new QTreeWidget(dockWidgetContents), "treeWidget");
    treeWidget->setColumnCount(3);
    treeWidget->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    treeWidget->header()->setCascadingSectionResizes(true);
    treeWidget->header()->setMinimumSectionSize(20);
    treeWidget->header()->setStretchLastSection(true);
    verticalLayout->addWidget(treeWidget);
    dockWidget->setWidget(dockWidgetContents);
    window->addDockWidget(Qt::LeftDockWidgetArea, dockWidget);

    dockWidget_2 = dock(window, "dockWidget_2");
    dockWidgetContents_2 = named(new QWidget(), "dockWidgetContents_2");
    verticalLayout_3 = boxLayout<QVBoxLayout>(dockWidgetContents_2, "verticalLayout_3");
    pte = named(new QPlainTextEdit(dockWidgetContents_2), "pte");
    verticalLayout_3->addWidget(pte);
    cbShowAll = named(new QCheckBox(dockWidgetContents_2), "cbShowAll");
    cbShowAll->setCursor(QCursor(Qt::PointingHandCursor));
    cbShowAll->setChecked(false);
    verticalLayout_3->addWidget(cbShowAll);
    cbRecord = named(new QCheckBox(dockWidgetContents_2), "cbRecord");
    cbRecord->setCursor(QCursor(Qt::PointingHandCursor));
    verticalLayout_3->addWidget(cbRecord);
    dockWidget_2->setWidget(dockWidgetContents_2);
    window->addDockWidget(Qt::LeftDockWidgetArea, dockWidget_2);

    dockWidget_3 = dock(window, "dockWidget_3");
    dockWidgetContents_3 = named(new QWidget(), "dockWidgetContents_3");
    verticalLayout_4 = boxLayout<QVBoxLayout>(dockWidgetContents_3, "verticalLayout_4");
    horizontalLayout = named(new QHBoxLayout(), "horizontalLayout");
    horizontalLayout->setSpacing(6);
    cbCommand = named(new QComboBox(dockWidgetContents_3), "cbCommand");
    cbCommand->setCursor(QCursor(Qt::PointingHandCursor));
    horizontalLayout->addWidget(cbCommand);
    pbSend = named(new QPushButton(dockWidgetContents_3), "pbSend");
    pbSend->setCursor(QCursor(Qt::PointingHandCursor));
    horizontalLayout->addWidget(pbSend);
    horizontalLayout->setStretch(0, 1);
    verticalLayout_4->addLayout(horizontalLayout);
    scrollArea = named(new QScrollArea(dockWidgetContents_3), "scrollArea");
    scrollArea->setWidgetResizable(true);
    scrollAreaWidgetContents_2 = named(new QWidget(), "scrollAreaWidgetContents_2");
    verticalLayout_5 = boxLayout<QVBoxLayout>(scrollAreaWidgetContents_2, "verticalLayout_5");
    gbOut = named(new QGroupBox(scrollAreaWidgetContents_2), "gbOut");
    verticalLayout_5->addWidget(gbOut);
    gbIn = named(new QGroupBox(scrollAreaWidgetContents_2), "gbIn");
    verticalLayout_5->addWidget(gbIn);
    scrollArea->setWidget(scrollAreaWidgetContents_2);
    verticalLayout_4->addWidget(scrollArea);
    dockWidget_3->setWidget(dockWidgetContents_3);
    window->addDockWidget(Qt::RightDockWidgetArea, dockWidget_3);

    retranslateForm(window);
    QMetaObject::connectSlotsByName(window);
}

void MainWindowForm::retranslateForm(QMainWindow *window)
{
    window->setWindowTitle(QCoreApplication::translate("MainWindow", "MainWindow"));
    window->setToolTip(QString());
    lbDevices->setText(QCoreApplication::translate("MainWindow", "Устройство:"));
    lbDeviceCount->setText(QCoreApplication::translate("MainWindow", "[0]"));
    frame->setTitle(QCoreApplication::translate("MainWindow", "Видимые графики"));
    dockWidget->setWindowTitle(QCoreApplication::translate("MainWindow", "Текущие значения"));
    QTreeWidgetItem *header = treeWidget->headerItem();
    header->setText(0, QCoreApplication::translate("MainWindow", "1"));
    header->setText(1, QCoreApplication::translate("MainWindow", "2"));
    header->setText(2, QCoreApplication::translate("MainWindow", "3"));
    dockWidget_2->setWindowTitle(QCoreApplication::translate("MainWindow", "Сырые данные"));
    cbShowAll->setText(QCoreApplication::translate("MainWindow", "Показывать все данные"));
    cbRecord->setText(QCoreApplication::translate("MainWindow", "Записывать сеанс"));
    dockWidget_3->setWindowTitle(QCoreApplication::translate("MainWindow", "Команды"));
    pbSend->setText(QCoreApplication::translate("MainWindow", "Выполнить"));
    gbOut->setTitle(QCoreApplication::translate("MainWindow", "Запрос"));
    gbIn->setTitle(QCoreApplication::translate("MainWindow", "Ответ"));
}
