#pragma once

#include "Batch.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace sim {

// The data files the extractor should write for a batch, worked out here on their own terms:
// line 1 "ID,BatchCode,M/d/yyyy h:mm:ss AP,RowCount,N", then the codes and readings in COLUMN
// or ROW layout, every line ending in CR LF.

// A reading rounded to 3 decimals (halves away from zero) in its shortest plain form:
// 8125 -> "0.813", 78000 -> "7.8", -30500 -> "-3.05".
QByteArray fileValue(qint64 tenThousandths);

QByteArray generalTime(const QDateTime& t); // "5/1/2012 10:15:30 AM"
QByteArray fileStamp(const QDateTime& t);   // "05-01-2012-101530"

// File name: the first 4 characters of the ID (unsafe characters as "_"), a blank, the stamp.
QByteArray fileName(const Batch& b, const QDateTime& t);

QByteArray columnLayout(const Batch& b, const QDateTime& t);
QByteArray rowLayout(const Batch& b, const QDateTime& t);

// Appends the batch's files to DIR/COLUMN and DIR/ROW for every whole second from `before` to
// `after` (the extractor stamps the file with its own clock somewhere in between). No file for
// a batch without readings. Returns false with a message when a file cannot be written.
bool writeExpected(const QString& dir, const Batch& b, const QDateTime& before,
                   const QDateTime& after, QString* error);

} // namespace sim
