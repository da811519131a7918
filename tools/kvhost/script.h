#pragma once
// The kvhost script language: one late-bound call per line.
//
//   Timeout = 4                      property put
//   ? LastErrorString                property get (or a script variable), printed
//   ? AdapterAddress(0)              property get with arguments
//   Read buffer, 2048                method call; its result is printed
//   Connect "example.org", 80, , 4   an empty place omits an optional argument
//   # a comment
//
// An argument is a number (decimal, or hexadecimal after "&H"), True or False, a quoted string
// (escapes \r \n \t \" \\ and \xHH for the character U+00HH), an empty place between commas, or
// a bare name: a variable of the script, passed by reference so the member's output lands there
// (or the NAME of a further control instance, passed as the object).
// Names of members and variables are letters, digits and "_", starting with a letter or "_".
// A member of a further control instance is written NAME.Member (srv.Handle, srv.Accept h).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct ScriptArg {
    enum class Kind { Omitted, Number, Boolean, Text, Variable };
    Kind kind = Kind::Omitted;
    int32_t number = 0;  // Number; hexadecimal values keep their 32-bit pattern (&HFFFFFFFF = -1)
    bool boolean = false;
    std::u16string text;  // Text
    std::string name;     // Variable
};

struct ScriptCommand {
    enum class Kind {
        Nothing,  // a blank or comment line
        Put,      // name = args[0]
        Get,      // ? name or ? name(args)
        Call,     // name args, or name(args)
    };
    Kind kind = Kind::Nothing;
    std::string object;  // NAME of "NAME.Member": a further control instance; empty: the first
    std::string name;
    std::vector<ScriptArg> args;
    bool parenthesised = false;  // a Get written with "(...)" names a property, never a variable
};

// parseScriptLine parses one line (without its line end; a trailing CR is ignored). False with
// a message in *error for a line that does not follow the syntax.
bool parseScriptLine(std::string_view line, ScriptCommand* command, std::string* error);
