#include "flowlayout.h"

#include <QtTest>
#include <QWidget>

namespace {

// A widget that asks for exactly the size it is given.
class Box : public QWidget
{
public:
    Box(int width, int height, QWidget *parent) : QWidget(parent), hint(width, height) {}
    QSize sizeHint() const override { return hint; }
    QSize minimumSizeHint() const override { return hint; }

private:
    QSize hint;
};

using Sizes = QVector<QSize>;
using Points = QVector<QPoint>;

struct Flow
{
    QWidget owner;
    FlowLayout *layout = new FlowLayout(0, 6, 6);
    QVector<Box *> boxes;

    explicit Flow(const Sizes &sizes)
    {
        owner.setLayout(layout);
        for (const QSize &size : sizes) {
            boxes.append(new Box(size.width(), size.height(), &owner));
            layout->addWidget(boxes.last());
        }
    }
    Points placeIn(int width)
    {
        layout->setGeometry(QRect(0, 0, width, 500));
        Points points;
        for (Box *box : boxes)
            points.append(box->geometry().topLeft());
        return points;
    }
};

} // namespace

class TestFlowLayout : public QObject
{
    Q_OBJECT

private slots:
    void placesRowsAndMeasuresHeight_data()
    {
        QTest::addColumn<Sizes>("sizes");
        QTest::addColumn<int>("width");
        QTest::addColumn<Points>("expected");
        QTest::addColumn<int>("height");

        const QSize small(50, 20);
        QTest::newRow("three in 120 wrap after two")
            << Sizes{small, small, small} << 120 << Points{{0, 0}, {56, 0}, {0, 26}} << 46;
        QTest::newRow("three in 200 fit one row")
            << Sizes{small, small, small} << 200 << Points{{0, 0}, {56, 0}, {112, 0}} << 20;
        // The right edge is the last pixel column: an item must end before it to stay.
        QTest::newRow("item ending before the right edge stays in the row")
            << Sizes{small, small} << 107 << Points{{0, 0}, {56, 0}} << 20;
        QTest::newRow("item reaching the right edge wraps")
            << Sizes{small, small} << 106 << Points{{0, 0}, {0, 26}} << 46;
        QTest::newRow("row height is the tallest item")
            << Sizes{{50, 10}, {50, 30}, small} << 120 << Points{{0, 0}, {56, 0}, {0, 36}} << 56;
        QTest::newRow("oversized first item keeps its row")
            << Sizes{{200, 20}, small} << 120 << Points{{0, 0}, {0, 26}} << 46;
        QTest::newRow("oversized middle item starts its own row, no empty row")
            << Sizes{small, {200, 20}, small} << 120 << Points{{0, 0}, {0, 26}, {0, 52}} << 72;
        QTest::newRow("single item wider than everything")
            << Sizes{{500, 20}} << 120 << Points{{0, 0}} << 20;
    }
    void placesRowsAndMeasuresHeight()
    {
        QFETCH(Sizes, sizes);
        QFETCH(int, width);
        QFETCH(Points, expected);
        QFETCH(int, height);

        Flow flow(sizes);
        QCOMPARE(flow.layout->heightForWidth(width), height);
        QCOMPARE(flow.placeIn(width), expected);
        for (int i = 0; i < sizes.size(); ++i)
            QCOMPARE(flow.boxes[i]->size(), sizes[i]); // nothing stretched or shrunk
    }

    void reflowsOnNarrowingAndWidening()
    {
        const QSize small(50, 20);
        Flow flow({small, small, small, small});
        const Points wide{{0, 0}, {56, 0}, {112, 0}, {168, 0}};
        QCOMPARE(flow.placeIn(300), wide);
        QCOMPARE(flow.placeIn(120), (Points{{0, 0}, {56, 0}, {0, 26}, {56, 26}}));
        QCOMPARE(flow.placeIn(60), (Points{{0, 0}, {0, 26}, {0, 52}, {0, 78}}));
        QCOMPARE(flow.placeIn(300), wide);
    }

    void marginsShiftAndMeasure()
    {
        QWidget owner;
        auto *layout = new FlowLayout(&owner, 5, 6, 6);
        auto *box = new Box(50, 20, &owner);
        layout->addWidget(box);
        layout->setGeometry(QRect(10, 10, 100, 100));
        QCOMPARE(box->geometry().topLeft(), QPoint(15, 15));
        QCOMPARE(layout->heightForWidth(100), 30);
        QCOMPARE(layout->minimumSize(), QSize(60, 30));
    }

    void emptyLayoutMeasuresMarginsOnly()
    {
        QWidget owner;
        auto *layout = new FlowLayout(&owner, 7, 6, 6);
        QCOMPARE(layout->count(), 0);
        QCOMPARE(layout->minimumSize(), QSize(13, 13));
        QCOMPARE(layout->sizeHint(), layout->minimumSize());
        QCOMPARE(layout->heightForWidth(300), 14);
        QVERIFY(layout->hasHeightForWidth());
        QCOMPARE(layout->expandingDirections(), Qt::Orientations());
    }

    void indexBounds()
    {
        Flow flow({{50, 20}, {50, 20}});
        QCOMPARE(flow.layout->itemAt(-1), nullptr);
        QCOMPARE(flow.layout->itemAt(2), nullptr);
        QCOMPARE(flow.layout->takeAt(-1), nullptr);
        QCOMPARE(flow.layout->takeAt(2), nullptr);
        QCOMPARE(flow.layout->count(), 2);

        QLayoutItem *first = flow.layout->takeAt(0);
        QVERIFY(first);
        QCOMPARE(first->widget(), flow.boxes[0]);
        QCOMPARE(flow.layout->count(), 1);
        QCOMPARE(flow.layout->itemAt(0)->widget(), flow.boxes[1]);
        delete first; // the caller owns a taken item; the widget stays with its parent
        QCOMPARE(flow.boxes[0]->parent(), &flow.owner);
    }

    void deletingTheLayoutKeepsTheWidgets()
    {
        QWidget owner;
        auto *layout = new FlowLayout(&owner, 0, 6, 6);
        QPointer<Box> box = new Box(50, 20, &owner);
        layout->addWidget(box);
        delete layout;
        QVERIFY(box);
    }

    void styleGapsKeepItemsApart()
    {
        QWidget owner;
        auto *layout = new FlowLayout(&owner, 0, -1, -1);
        auto *first = new Box(50, 20, &owner);
        auto *second = new Box(50, 20, &owner);
        layout->addWidget(first);
        layout->addWidget(second);
        layout->setGeometry(QRect(0, 0, 400, 100));
        QCOMPARE(second->y(), 0);
        QVERIFY(second->x() >= first->geometry().right() + 1);

        FlowLayout parentless(0, -1, -1);
        QCOMPARE(parentless.horizontalGap(), -1);
        QCOMPARE(parentless.verticalGap(), -1);
        FlowLayout explicitGaps(0, 3, 4);
        QCOMPARE(explicitGaps.horizontalGap(), 3);
        QCOMPARE(explicitGaps.verticalGap(), 4);
    }
};

QTEST_MAIN(TestFlowLayout)
#include "tst_flowlayout.moc"
