#pragma once
// The control's view of the network library: start it, stop it, switch tracing on and off, and
// what a start reports. The control calls only these; the binding (winsock/ocx/binding) is what
// really loads libws2_32.so and libkvtrace6.so behind them.
//
//   NetworkLibraryInfo info;
//   if (!networkLibrary().start("", &info)) report(SocketError());   // the error is in the slot
//
// Until the binding is built in, the start fails with wrErrorNetworkNotReady (10091, "The
// networking subsystem is not available on this system") and tracing stays off: the control
// then reports honestly that it has no network, never a success it cannot back.

#include <cstdint>
#include <string>

struct NetworkLibraryInfo {
    std::string path;          // full path of the loaded library module
    std::string description;   // the library's description string (WinsockVendor)
    int highVersionMajor = 0;  // the highest interface version it supports (WinsockVersion)
    int highVersionMinor = 0;
    int32_t maxSockets = 0;
    int32_t maxDatagram = 0;
};

struct NetworkLibrary {
    // Starts the library named moduleName (Latin-1; empty: the default library) and fills info.
    // False on failure, with the error (HRESULT form) in the socket layer's error slot.
    bool (*start)(const std::string& moduleName, NetworkLibraryInfo* info);
    // Releases one start.
    void (*stop)();
    // Switches tracing on with a trace file (Latin-1, may be empty) and flags; true when tracing
    // is on. A missing trace library gives false and changes nothing else.
    bool (*enableTrace)(const std::string& traceFile, int32_t flags);
    void (*disableTrace)();
};

// networkLibrary returns the functions in use.
const NetworkLibrary& networkLibrary();

// setNetworkLibrary replaces them (tests put a stand-in library here); nullptr restores the
// built-in ones. The replacement must outlive its use.
void setNetworkLibrary(const NetworkLibrary* replacement);
