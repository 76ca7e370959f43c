#ifndef FLOWLAYOUT_H
#define FLOWLAYOUT_H

#include <QLayout>
#include <QList>
#include <QStyle>

// Places its items left to right at their preferred sizes and starts a new row whenever the
// next item would cross the right edge, so the height it needs depends on the width it gets.
// A gap or margin of -1 is taken from the style.
class FlowLayout : public QLayout
{
public:
    FlowLayout(int margin, int hGap, int vGap);
    FlowLayout(QWidget *parent, int margin, int hGap, int vGap);
    ~FlowLayout() override;

    void addItem(QLayoutItem *item) override;
    Qt::Orientations expandingDirections() const override;
    QSize minimumSize() const override;
    void setGeometry(const QRect &rect) override;
    QLayoutItem *itemAt(int index) const override;
    QLayoutItem *takeAt(int index) override;
    int count() const override;
    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;

    int horizontalGap() const;
    int verticalGap() const;

private:
    // Measures (measuring true) or places the items in rect; returns the height used.
    int arrange(const QRect &rect, bool measuring) const;
    int styleGap(QStyle::PixelMetric metric) const;
    int itemGap(QLayoutItem *item, Qt::Orientation orientation) const;
    // The margin shared by all four sides, or -1 when they differ.
    int commonMargin() const;

    QList<QLayoutItem *> items;
    int hGap;
    int vGap;
};

#endif // FLOWLAYOUT_H
