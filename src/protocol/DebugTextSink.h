#pragma once

#include <QByteArray>

namespace znr {

// The trouble-shooting window's text box as the receive path sees it: text is added at the end
// of what it already shows. Used only while DebugMode is true.
class DebugTextSink {
public:
    virtual ~DebugTextSink() = default;
    virtual void appendText(const QByteArray& text) = 0;
};

} // namespace znr
