#pragma once

#include <QByteArray>

namespace znr {

class Channel;
struct ProtocolContext;

// Interprets one complete frame of `channel`: the type at positions 3..5 of the text before the
// first comma, the comma-separated payload between the first STX and the first ETX. Updates
// the channel's batch; on ENB and ERR the channel holds the ended batch for its files to be
// written (holdBatchEnd). `frame` is replaced by the payload. Returns the result
// text ("Status and ID Received", ..., "URC,Nothing"). A failure is logged under "ParseString"
// and ends the parsing; the result is then what had been set before it.
QByteArray parseFrame(const ProtocolContext& ctx, Channel& channel, QByteArray& frame);

// The message type of a frame: characters 3..5 of its text before the first comma.
QByteArray messageType(const QByteArray& frame);

// The payload of a frame: the text after the first STX (from the start when there is none) up
// to the first ETX. Positions are 16-bit: one beyond 32767 throws the overflow failure; an ETX
// missing or before the STX throws the invalid-argument failure.
QByteArray framePayload(const QByteArray& frame);

} // namespace znr
