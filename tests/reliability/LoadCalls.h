// The calls of one load client, shared by the client program that makes them
// and the tests that look for them afterwards: call i of client c is fixed by
// (c, i) alone, so the engine's journal and the log can be checked against the
// exact sequence each client sent.
//
//   i % 3 == 0  Exec "rec.log 5 c<c> e<i>"        the engine logs "c<c> e<i>" under ED
//   i % 3 == 1  SetProp "c<c>" "k<i % 64>" "v<c>-<i>"
//   i % 3 == 2  GetProp "c<c>" "k<(i - 1) % 64>"  replies "v<c>-<i - 1>", set just before
//
// The keys repeat every 64, so the engine's property store stays small and
// the shell's memory can be compared before and after a long run.
#pragma once

#include <string>

namespace rel {

enum class LoadCallKind { Exec, SetProp, GetProp };

struct LoadCall {
    LoadCallKind kind;
    std::string first;   // Exec: the command; else the first property name
    std::string second;  // the second property name
    std::string value;   // SetProp: the value; GetProp: the expected reply
};

inline std::string ClientTag(int client) { return "c" + std::to_string(client); }

inline LoadCall MakeLoadCall(int client, int i) {
    const std::string tag = ClientTag(client);
    switch (i % 3) {
    case 0:
        return {LoadCallKind::Exec, "rec.log 5 " + tag + " e" + std::to_string(i), "", ""};
    case 1:
        return {LoadCallKind::SetProp, tag, "k" + std::to_string(i % 64),
                "v" + std::to_string(client) + "-" + std::to_string(i)};
    default:
        return {LoadCallKind::GetProp, tag, "k" + std::to_string((i - 1) % 64),
                "v" + std::to_string(client) + "-" + std::to_string(i - 1)};
    }
}

// The recording engine's journal line for the call (its strings need no
// escaping: letters, digits, blanks and hyphens only).
inline std::string LoadJournalLine(const LoadCall& call) {
    switch (call.kind) {
    case LoadCallKind::Exec:
        return "edsrvProcess 65535 0 \"" + call.first + "\"";
    case LoadCallKind::SetProp:
        return "linktopicProcessClientData 65535 \"" + call.first + "\" \"" + call.second +
               "\" 0 \"" + call.value + "\"";
    default:
        return "linktopicProcessClientRequest 65535 \"" + call.first + "\" \"" + call.second +
               "\" 0";
    }
}

}  // namespace rel
