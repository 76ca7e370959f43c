#ifndef PLOTFEED_H
#define PLOTFEED_H

#include <QList>

class QCPGraph;

// Keeps one graph in step with the parser's sliding window of samples. The keys are sample
// numbers, unique and rising, so from one tick to the next the graph only needs the samples
// that arrived and loses those that slid out: appending a few points costs the same for a
// window of a thousand points as for one of a hundred thousand.
class PlotFeed
{
public:
    // Makes the graph's data equal to the first n keys and values, n being the shorter
    // list's length; false when the graph already held exactly those. Called with the
    // parser's state lock held.
    bool update(QCPGraph *graph, const QList<double> &keys, const QList<double> &values);
    // The next update copies the whole window (the plot history started afresh).
    void invalidate() { synced = false; }

private:
    bool synced = false;
    double lastKey = 0;
};

#endif // PLOTFEED_H
