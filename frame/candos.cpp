// Capability words that host and effect ask each other about.
#include "frame/audioeffectx.h"

namespace HostCanDos {
const char* canDoSendVstEvents = "sendVstEvents";
const char* canDoSendVstMidiEvent = "sendVstMidiEvent";
const char* canDoSendVstTimeInfo = "sendVstTimeInfo";
const char* canDoReceiveVstEvents = "receiveVstEvents";
const char* canDoReceiveVstMidiEvent = "receiveVstMidiEvent";
const char* canDoReportConnectionChanges = "reportConnectionChanges";
const char* canDoAcceptIOChanges = "acceptIOChanges";
const char* canDoSizeWindow = "sizeWindow";
const char* canDoOffline = "offline";
const char* canDoOpenFileSelector = "openFileSelector";
const char* canDoCloseFileSelector = "closeFileSelector";
const char* canDoStartStopProcess = "startStopProcess";
const char* canDoShellCategory = "shellCategory";
const char* canDoSendVstMidiEventFlagIsRealtime = "sendVstMidiEventFlagIsRealtime";
}  // namespace HostCanDos

namespace PlugCanDos {
const char* canDoSendVstEvents = "sendVstEvents";
const char* canDoSendVstMidiEvent = "sendVstMidiEvent";
const char* canDoReceiveVstEvents = "receiveVstEvents";
const char* canDoReceiveVstMidiEvent = "receiveVstMidiEvent";
const char* canDoReceiveVstTimeInfo = "receiveVstTimeInfo";
const char* canDoOffline = "offline";
const char* canDoMidiProgramNames = "midiProgramNames";
const char* canDoBypass = "bypass";
}  // namespace PlugCanDos
