#ifndef DECODEDANSWER_H
#define DECODEDANSWER_H

#include <QByteArray>
#include <QStringList>

// A decoded command answer (any report whose id byte is not 0), kept until the window has
// handled it so that no answer is overwritten by the reports that follow it.
struct DecodedAnswer
{
    int id = -1;
    QStringList values;
    QByteArray report;
};

#endif // DECODEDANSWER_H
