#pragma once

#include <string_view>

// The procedure names that error-log lines carry. Log readers know them, so they stay exactly as
// they are, whatever the code that writes them is called. Names used by one window only live in
// that window.
namespace znr::logname {

// Settings, folders and passwords.
inline constexpr std::string_view LoadSettings = "LoadConstants";
inline constexpr std::string_view WriteIni = "WriteINIFile";
inline constexpr std::string_view AppendEthernetInstrument = "AddEthernetZNRINI";
inline constexpr std::string_view AppendSerialInstrument = "AddSerialZNRINI";
inline constexpr std::string_view ScramblePassword = "Module.EncryptPassword";
inline constexpr std::string_view UnscramblePassword = "Module.DecryptPassword";
inline constexpr std::string_view CreateFolders = "Module.CreateDirectory";
inline constexpr std::string_view CleanUpFolder = "Module.CleanUpDirectory";

// Frames, batches and their files.
inline constexpr std::string_view Parser = "ParseString";
inline constexpr std::string_view ReshapeReadings = "RedimArray";
inline constexpr std::string_view WriteDataFile = "MakeFile";
inline constexpr std::string_view EndBatch = "BatchComplete";
inline constexpr std::string_view RenderRaw = "FormatRawString";
inline constexpr std::string_view RecordRaw = "CreateRawFile";
inline constexpr std::string_view NameRawRecord = "UpdateRawFile";
inline constexpr std::string_view ExportRaw = "ExportRawFile";

// The connections of the run (they were the main window's routines).
inline constexpr std::string_view SocketReceived = "frmZNRInterface.ZNRSocket_DataArrival";
inline constexpr std::string_view SerialReceived = "frmZNRInterface.ZNRComm_OnComm";
inline constexpr std::string_view SocketError = "frmZNRInterface.ZNRSocket_Error";
inline constexpr std::string_view OpenEthernet = "frmZNRInterface.CreateEthernetConnection";
inline constexpr std::string_view OpenSerial = "frmZNRInterface.CreateSerialConnection";
inline constexpr std::string_view Reopen = "frmZNRInterface.cmdConnect_Click";
inline constexpr std::string_view Disconnect = "frmZNRInterface.DisconnectConnection";
inline constexpr std::string_view DisconnectAll = "frmZNRInterface.DisconnectAll";
inline constexpr std::string_view Delete = "frmZNRInterface.DeleteConnection";
inline constexpr std::string_view DeleteClick = "frmZNRInterface.cmdDeleteConnection_Click";
inline constexpr std::string_view NextIndex = "frmZNRInterface.GetCurrentNode";
inline constexpr std::string_view Reconnect = "frmZNRInterface.ReconnectConnection";
inline constexpr std::string_view Shutdown = "frmZNRInterface.Form_Unload";

} // namespace znr::logname
