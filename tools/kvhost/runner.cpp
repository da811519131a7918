#include "tools/kvhost/runner.h"

#include <cctype>
#include <cstdio>

#include "platform/com/connpt.h"
#include "tools/kvhost/format.h"
#include "tools/kvhost/members.h"

namespace {

std::string lowerCase(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace

bool ScriptRunner::runLine(std::string_view line, int lineNumber) {
    ScriptCommand command;
    std::string error;
    if (!parseScriptLine(line, &command, &error)) {
        m_out << "error: line " << lineNumber << ": " << error << "\n";
        m_failed = true;
        return false;
    }
    return run(command);
}

const VARIANT* ScriptRunner::variable(std::string_view name) const {
    auto it = m_variables.find(lowerCase(name));
    return it == m_variables.end() ? nullptr : &it->second;
}

bool ScriptRunner::isConstant(std::string_view name, Variant* value) const {
    // A name the script has used as a variable stays one.
    if (variable(name)) return false;
    return SUCCEEDED(objectConstant(m_object, name, value));
}

void ScriptRunner::setVariable(std::string_view name, const VARIANT& value) {
    variableSlot(name) = Variant(value);
}

void ScriptRunner::addObject(std::string_view name, IDispatch* object) {
    m_objects[lowerCase(name)] = object;
}

IDispatch* ScriptRunner::object(std::string_view name) const {
    auto it = m_objects.find(lowerCase(name));
    return it == m_objects.end() ? nullptr : it->second;
}

Variant& ScriptRunner::variableSlot(std::string_view name) {
    return m_variables[lowerCase(name)];
}

std::vector<Variant> ScriptRunner::arguments(const std::vector<ScriptArg>& args) {
    std::vector<Variant> out;
    out.reserve(args.size());
    for (const ScriptArg& a : args) {
        switch (a.kind) {
            case ScriptArg::Kind::Omitted:
                out.push_back(Variant::missing());
                break;
            case ScriptArg::Kind::Number:
                out.emplace_back(a.number);
                break;
            case ScriptArg::Kind::Boolean:
                out.emplace_back(a.boolean);
                break;
            case ScriptArg::Kind::Text:
                out.emplace_back(std::u16string_view(a.text));
                break;
            case ScriptArg::Kind::Variable: {
                Variant constant;
                IDispatch* instance = variable(a.name) ? nullptr : object(a.name);
                if (instance) {
                    // A further instance by its name: the object itself (VariantCopy adds the
                    // reference the argument holds).
                    VARIANT ref;
                    VariantInit(&ref);
                    ref.vt = VT_DISPATCH;
                    ref.pdispVal = instance;
                    out.emplace_back(ref);
                } else if (isConstant(a.name, &constant))
                    out.push_back(std::move(constant));
                else
                    out.push_back(Variant::byRef(&variableSlot(a.name)));
                break;
            }
        }
    }
    return out;
}

bool ScriptRunner::report(HRESULT hr, const std::string& description) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(hr));
    m_out << "error " << code << ": " << description << "\n";
    m_failed = true;
    return false;
}

bool ScriptRunner::run(const ScriptCommand& command) {
    std::string description;
    Variant result;
    HRESULT hr = S_OK;
    IDispatch* target = m_object;
    if (!command.object.empty()) {
        target = object(command.object);
        if (!target) return report(DISP_E_UNKNOWNNAME, "no control named " + command.object);
    }
    switch (command.kind) {
        case ScriptCommand::Kind::Nothing:
            return true;
        case ScriptCommand::Kind::Put: {
            // A variable given as the value is passed by value: a put takes no output. A
            // constant comes by value from arguments already.
            Variant value = std::move(arguments(command.args).front());
            if (value.vt == (VT_BYREF | VT_VARIANT)) value = Variant(*variantDeref(&value));
            hr = dispPutProperty(target, command.name, value, &description);
            if (FAILED(hr)) return report(hr, description);
            return true;
        }
        case ScriptCommand::Kind::Get: {
            if (!command.parenthesised && command.object.empty()) {
                if (const VARIANT* v = variable(command.name)) {
                    m_out << formatValue(*v) << "\n";
                    return true;
                }
                if (Variant constant; isConstant(command.name, &constant)) {
                    m_out << formatValue(constant) << "\n";
                    return true;
                }
            }
            DISPID id;
            hr = dispGetId(target, command.name, &id);
            if (FAILED(hr)) return report(hr, hresultText(hr));
            std::vector<Variant> args = arguments(command.args);
            hr = dispInvoke(target, id, DISPATCH_PROPERTYGET, args, &result, &description);
            break;
        }
        case ScriptCommand::Kind::Call: {
            std::vector<Variant> args = arguments(command.args);
            hr = dispCall(target, command.name, args, &result, &description);
            break;
        }
    }
    if (FAILED(hr)) return report(hr, description);
    // A member without a result (Reset, About) prints nothing.
    if (result.vt != VT_EMPTY || command.kind == ScriptCommand::Kind::Get)
        m_out << formatValue(result) << "\n";
    return true;
}

std::string eventLine(std::string_view name, DISPPARAMS* params) {
    std::string line = "event ";
    line += name;
    line += "(";
    UINT count = params ? params->cArgs - params->cNamedArgs : 0;
    for (UINT i = 0; i < count; ++i) {
        if (i) line += ", ";
        line += formatValue(*dispParamsArg(params, i));
    }
    return line + ")";
}
