#ifndef DEVICELIST_H
#define DEVICELIST_H

#include "reportlayout.h"

#include <QList>
#include <QPair>
#include <QString>

// The matching devices in the platform's order: (product string, device path).
using DeviceList = QList<QPair<QString, QString>>;

// The one device kind the program talks to.
constexpr unsigned short deviceVendorId = 0x0483;
constexpr unsigned short deviceProductId = 0x5750;
// The fragment by which a Windows interface path names that kind.
extern const char deviceIdFilter[];

// Every report, in both directions, is this long: report ID, id byte, 62 bytes of payload.
constexpr int reportSize = ReportLayout::size;

#endif // DEVICELIST_H
