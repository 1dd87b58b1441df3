#pragma once

namespace znr {

struct AppSettings;
struct EthernetInstrument;
struct SerialInstrument;
class ErrorLog;

// Append `instrument` as a new numbered section at the end of the settings file, then store the new
// count, read from the file and raised by one, both in `s` and (through writeIniValue) in the file.
// They return what writeIniValue returns; a count that is not a number, or a failed append, is
// logged under the routine's name
// ("AddEthernetZNRINI", "AddSerialZNRINI"), writes nothing more and gives 0.
int appendEthernetInstrument(AppSettings& s, const EthernetInstrument& instrument,
                             const ErrorLog& log);
int appendSerialInstrument(AppSettings& s, const SerialInstrument& instrument, const ErrorLog& log);

} // namespace znr
