#include "plotfeed.h"

#include <qcustomplot.h>

#include <algorithm>

namespace {

QVector<double> slice(const QList<double> &list, int from, int to)
{
    QVector<double> result;
    result.reserve(to - from);
    for (int i = from; i < to; ++i)
        result.append(list.at(i));
    return result;
}

} // namespace

bool PlotFeed::update(QCPGraph *graph, const QList<double> &keys, const QList<double> &values)
{
    const int count = std::min(keys.size(), values.size());
    if (count == 0) {
        const bool hadData = !graph->data()->isEmpty();
        graph->data()->clear();
        synced = false;
        return hadData;
    }
    // The first sample the graph lacks; with no sample in common (a stale graph, or keys that
    // went back because the history was reset) the whole window is copied.
    const int first = synced ? int(std::upper_bound(keys.constBegin(), keys.constBegin() + count, lastKey)
                                   - keys.constBegin())
                             : 0;
    if (!synced || first == 0 || lastKey > keys.at(count - 1)) {
        graph->setData(slice(keys, 0, count), slice(values, 0, count), true);
    } else if (first < count) {
        graph->addData(slice(keys, first, count), slice(values, first, count), true);
        graph->data()->removeBefore(keys.at(0));
    } else {
        // Nothing arrived: the window slides only when a sample is appended.
        return false;
    }
    lastKey = keys.at(count - 1);
    synced = true;
    return true;
}
