#include "MetricsText.h"

#include <cstdio>
#include <initializer_list>
#include <string_view>

namespace remote {

namespace {

// The parts one after the other (GCC 12 warns falsely on "literal" + string).
std::string Join(std::initializer_list<std::string_view> parts) {
    std::string joined;
    for (std::string_view part : parts) joined.append(part);
    return joined;
}

class Writer {
public:
    explicit Writer(std::string& out) : m_out(out) {}

    // The # HELP and # TYPE lines of one family.
    void Family(const char* name, const char* type, const char* help) {
        m_out.append("# HELP ").append(name).append(" ");
        for (const char* p = help; *p; ++p) {
            if (*p == '\\')
                m_out.append("\\\\");
            else if (*p == '\n')
                m_out.append("\\n");
            else
                m_out.push_back(*p);
        }
        m_out.append("\n# TYPE ").append(name).append(" ").append(type).append("\n");
    }

    // name{labels} value; `labels` already formed ("" for none).
    void Sample(const std::string& name, const std::string& labels, double value) {
        char number[40];
        std::snprintf(number, sizeof number, "%.9g", value);
        Line(name, labels, number);
    }
    void Sample(const std::string& name, const std::string& labels, unsigned long long value) {
        char number[24];
        std::snprintf(number, sizeof number, "%llu", value);
        Line(name, labels, number);
    }
    void Sample(const std::string& name, const std::string& labels, long long value) {
        char number[24];
        std::snprintf(number, sizeof number, "%lld", value);
        Line(name, labels, number);
    }

    // The series of one histogram with `labels` (without braces) on each.
    void Histogram(const std::string& name, const std::string& labels, const stats::HistogramFigures& figures) {
        const std::string prefix = labels.empty() ? std::string() : Join({labels, ","});
        unsigned long long cumulative = 0;
        for (std::size_t i = 0; i < stats::kBucketCount; ++i) {
            cumulative += figures.buckets[i];
            std::string le = "+Inf";
            if (i < stats::kBoundCount) {
                char bound[24];
                std::snprintf(bound, sizeof bound, "%g", stats::kBucketBoundsMs[i] / 1000);
                le = bound;
            }
            Sample(Join({name, "_bucket"}), Join({"{", prefix, "le=\"", le, "\"}"}), cumulative);
        }
        Sample(Join({name, "_sum"}), Braced(labels), figures.sumSeconds);
        Sample(Join({name, "_count"}), Braced(labels), static_cast<unsigned long long>(figures.count));
    }

    static std::string Braced(const std::string& labels) { return labels.empty() ? labels : Join({"{", labels, "}"}); }

    // name="value", the value escaped as the format asks.
    static std::string Label(const char* name, const char* value) {
        std::string label = Join({name, "=\""});
        for (const char* p = value; *p; ++p) {
            if (*p == '\\' || *p == '"')
                label.push_back('\\'), label.push_back(*p);
            else if (*p == '\n')
                label.append("\\n");
            else
                label.push_back(*p);
        }
        label.push_back('"');
        return label;
    }

private:
    void Line(const std::string& name, const std::string& labels, const char* value) {
        m_out.append(name).append(labels).append(" ").append(value).append("\n");
    }

    std::string& m_out;
};

using ull = unsigned long long;

}  // namespace

std::string RenderMetrics(const stats::Snapshot& s, const char* const* categoryNames, const char* version,
                          const char* architecture) {
    std::string out;
    out.reserve(16 * 1024);
    Writer w(out);

    w.Family("velmor_build_info", "gauge", "The shell's build: its version and architecture; always 1.");
    w.Sample("velmor_build_info",
             Join({"{", Writer::Label("version", version), ",", Writer::Label("architecture", architecture), "}"}), 1ull);
    w.Family("velmor_uptime_seconds", "gauge", "Time since the shell's process started.");
    w.Sample("velmor_uptime_seconds", "", s.process.uptimeSeconds);

    w.Family("velmor_ticks_total", "counter", "Server ticks run (calls of pServerTick).");
    w.Sample("velmor_ticks_total", "", static_cast<ull>(s.ticks));
    w.Family("velmor_tick_lateness_seconds", "histogram",
             "Time from the moment a tick was due on the frame timer's schedule to the start of pServerTick.");
    w.Histogram("velmor_tick_lateness_seconds", "", s.lateness);
    w.Family("velmor_tick_lateness_max_seconds", "gauge", "The longest tick lateness since the shell started.");
    w.Sample("velmor_tick_lateness_max_seconds", "", s.lateness.maxSeconds);
    w.Family("velmor_tick_engine_seconds", "histogram", "Time the engine took inside pServerTick.");
    w.Histogram("velmor_tick_engine_seconds", "", s.tickTime);
    w.Family("velmor_tick_engine_max_seconds", "gauge", "The longest time inside pServerTick since the shell started.");
    w.Sample("velmor_tick_engine_max_seconds", "", s.tickTime.maxSeconds);

    w.Family("velmor_commands_total", "counter",
             "Engine commands run, by source: the console's command line, automation clients, the remote console.");
    for (int i = 0; i < stats::kCommandSourceCount; ++i)
        w.Sample("velmor_commands_total", Join({"{", Writer::Label("source", stats::kCommandSourceNames[i]), "}"}),
                 static_cast<ull>(s.commands[i].count));
    w.Family("velmor_command_engine_seconds", "histogram", "Time the engine took inside edsrvProcess, by source.");
    for (int i = 0; i < stats::kCommandSourceCount; ++i)
        w.Histogram("velmor_command_engine_seconds", Writer::Label("source", stats::kCommandSourceNames[i]),
                    s.commands[i].time);
    w.Family("velmor_property_requests_total", "counter", "Engine property requests (the automation GetProp).");
    w.Sample("velmor_property_requests_total", "", static_cast<ull>(s.propertyRequests));
    w.Family("velmor_property_data_total", "counter", "Engine property data handed on (the automation SetProp).");
    w.Sample("velmor_property_data_total", "", static_cast<ull>(s.propertyData));

    w.Family("velmor_log_lines_total", "counter", "Log lines, by category name.");
    for (int i = 0; i < stats::kLogCountSlots; ++i)
        w.Sample("velmor_log_lines_total",
                 Join({"{", Writer::Label("category", i < kLogCategoryCount ? categoryNames[i] : "other"), "}"}),
                 static_cast<ull>(s.logLines[i]));
    w.Family("velmor_log_lines_cut_total", "counter", "Log lines whose text was cut at 255 characters.");
    w.Sample("velmor_log_lines_cut_total", "", static_cast<ull>(s.logLinesCut));
    w.Family("velmor_log_file_written_bytes_total", "counter", "Bytes written to the log file, line ends included.");
    w.Sample("velmor_log_file_written_bytes_total", "", static_cast<ull>(s.logFileBytes));

    w.Family("velmor_remote_connections", "gauge", "Remote console connections open.");
    w.Sample("velmor_remote_connections", "", static_cast<long long>(s.remoteConnectionsOpen));
    w.Family("velmor_remote_sign_ins_total", "counter", "Remote console sign-ins with the right password.");
    w.Sample("velmor_remote_sign_ins_total", "", static_cast<ull>(s.remoteSignIns));
    w.Family("velmor_remote_wrong_passwords_total", "counter", "Remote console sign-ins with a wrong password.");
    w.Sample("velmor_remote_wrong_passwords_total", "", static_cast<ull>(s.remoteWrongPasswords));
    w.Family("velmor_remote_lockouts_total", "counter", "Remote console addresses locked out after wrong passwords.");
    w.Sample("velmor_remote_lockouts_total", "", static_cast<ull>(s.remoteLockOuts));
    w.Family("velmor_remote_refusals_total", "counter", "Remote console connections and packets refused.");
    w.Sample("velmor_remote_refusals_total", "", static_cast<ull>(s.remoteRefusals));

    w.Family("velmor_process_cpu_seconds_total", "counter", "Processor time the process used, user and kernel.");
    w.Sample("velmor_process_cpu_seconds_total", "", s.process.cpuSeconds);
    w.Family("velmor_process_private_bytes", "gauge", "Memory the process holds for itself alone.");
    w.Sample("velmor_process_private_bytes", "", static_cast<ull>(s.process.privateBytes));
    w.Family("velmor_process_working_set_bytes", "gauge", "Memory of the process resident in RAM.");
    w.Sample("velmor_process_working_set_bytes", "", static_cast<ull>(s.process.workingSetBytes));
    w.Family("velmor_process_handles", "gauge", "Kernel object handles the process holds open.");
    w.Sample("velmor_process_handles", "", static_cast<ull>(s.process.handles));
    w.Family("velmor_process_user_objects", "gauge", "USER objects (windows, menus, ...) the process holds.");
    w.Sample("velmor_process_user_objects", "", static_cast<ull>(s.process.userObjects));
    w.Family("velmor_process_gdi_objects", "gauge", "GDI objects (pens, fonts, bitmaps, ...) the process holds.");
    w.Sample("velmor_process_gdi_objects", "", static_cast<ull>(s.process.gdiObjects));
    return out;
}

}  // namespace remote
