#include "flowlayout.h"

#include <QApplication>
#include <QWidget>

FlowLayout::FlowLayout(int margin, int hGap, int vGap) : hGap(hGap), vGap(vGap)
{
    setContentsMargins(margin, margin, margin, margin);
}

FlowLayout::FlowLayout(QWidget *parent, int margin, int hGap, int vGap)
    : QLayout(parent), hGap(hGap), vGap(vGap)
{
    setContentsMargins(margin, margin, margin, margin);
}

FlowLayout::~FlowLayout()
{
    while (QLayoutItem *item = takeAt(0))
        delete item;
}

void FlowLayout::addItem(QLayoutItem *item)
{
    items.append(item);
}

Qt::Orientations FlowLayout::expandingDirections() const
{
    return {};
}

QSize FlowLayout::minimumSize() const
{
    QSize size(-1, -1);
    for (const QLayoutItem *item : items)
        size = size.expandedTo(item->minimumSize());
    const int margin = commonMargin();
    size += QSize(2 * margin, 2 * margin);
    return size;
}

void FlowLayout::setGeometry(const QRect &rect)
{
    QLayout::setGeometry(rect);
    arrange(rect, false);
}

QLayoutItem *FlowLayout::itemAt(int index) const
{
    return index >= 0 && index < items.size() ? items.at(index) : nullptr;
}

QLayoutItem *FlowLayout::takeAt(int index)
{
    return index >= 0 && index < items.size() ? items.takeAt(index) : nullptr;
}

int FlowLayout::count() const
{
    return items.size();
}

bool FlowLayout::hasHeightForWidth() const
{
    return true;
}

int FlowLayout::heightForWidth(int width) const
{
    return arrange(QRect(0, 0, width, 0), true);
}

QSize FlowLayout::sizeHint() const
{
    return minimumSize();
}

int FlowLayout::horizontalGap() const
{
    return hGap >= 0 ? hGap : styleGap(QStyle::PM_LayoutHorizontalSpacing);
}

int FlowLayout::verticalGap() const
{
    return vGap >= 0 ? vGap : styleGap(QStyle::PM_LayoutVerticalSpacing);
}

int FlowLayout::styleGap(QStyle::PixelMetric metric) const
{
    QObject *owner = parent();
    if (!owner)
        return -1;
    if (owner->isWidgetType()) {
        auto *widget = static_cast<QWidget *>(owner);
        return widget->style()->pixelMetric(metric, nullptr, widget);
    }
    return static_cast<QLayout *>(owner)->spacing();
}

int FlowLayout::itemGap(QLayoutItem *item, Qt::Orientation orientation) const
{
    const int gap = orientation == Qt::Horizontal ? horizontalGap() : verticalGap();
    if (gap != -1)
        return gap;
    // Items that wrap no widget (spacers, nested layouts) ask the style of the layout's widget.
    const QWidget *widget = item->widget() ? item->widget() : parentWidget();
    const QStyle *style = widget ? widget->style() : QApplication::style();
    return style->layoutSpacing(QSizePolicy::PushButton, QSizePolicy::PushButton, orientation);
}

int FlowLayout::commonMargin() const
{
    int left, top, right, bottom;
    getContentsMargins(&left, &top, &right, &bottom);
    return left == top && top == right && right == bottom ? left : -1;
}

int FlowLayout::arrange(const QRect &rect, bool measuring) const
{
    int left, top, right, bottom;
    getContentsMargins(&left, &top, &right, &bottom);
    const QRect area = rect.adjusted(left, top, -right, -bottom);
    int x = area.x();
    int y = area.y();
    int rowHeight = 0;

    for (QLayoutItem *item : items) {
        const int gapX = itemGap(item, Qt::Horizontal);
        const int gapY = itemGap(item, Qt::Vertical);
        const QSize size = item->sizeHint();
        int nextX = x + size.width() + gapX;
        if (x + size.width() > area.right() && rowHeight > 0) {
            x = area.x();
            y += rowHeight + gapY;
            nextX = x + size.width() + gapX;
            rowHeight = 0;
        }
        if (!measuring)
            item->setGeometry(QRect(QPoint(x, y), size));
        x = nextX;
        rowHeight = qMax(rowHeight, size.height());
    }
    return y + rowHeight - rect.y() + bottom;
}
