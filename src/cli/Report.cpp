#include "cli/Report.h"

#include "i18n/Messages.h"

#include <cstdio>

namespace tabulonix::cli {

namespace {

// Bytes above 0x7F pass as they are: names are UTF-8 on the systems this runs on.
std::string Quoted(const std::string& text)
{
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

const char* OutcomeName(FileOutcome::Kind kind, bool dryRun)
{
    switch (kind) {
    case FileOutcome::Written:
        return dryRun ? "planned" : "written";
    case FileOutcome::Skipped:
        return "skipped";
    case FileOutcome::Failed:
        break;
    }
    return "failed";
}

} // namespace

std::string JsonReport(const JobSettings& s, const BatchResult& result, bool dryRun)
{
    std::string out = "{\n";
    out += "  \"dryRun\": " + std::string(dryRun ? "true" : "false") + ",\n";
    out += "  \"sourceFolder\": " + Quoted(s.SDir) + ",\n";
    out += "  \"destinationFolder\": " + Quoted(s.DDir) + ",\n";
    out += "  \"total\": " + std::to_string(result.total) + ",\n";
    out += "  \"processed\": " + std::to_string(result.processed) + ",\n";
    out += "  \"skipped\": " + std::to_string(result.skipped) + ",\n";
    out += "  \"aborted\": " + std::string(result.aborted ? "true" : "false") + ",\n";
    out += "  \"files\": [";
    for (size_t i = 0; i < result.files.size(); ++i) {
        const FileOutcome& f = result.files[i];
        out += i == 0 ? "\n" : ",\n";
        out += "    {\"source\": " + Quoted(f.source);
        out += ", \"destination\": " + (f.destination.empty() ? "null" : Quoted(f.destination));
        out += ", \"width\": " + std::to_string(f.width);
        out += ", \"height\": " + std::to_string(f.height);
        out += ", \"outcome\": " + Quoted(OutcomeName(f.kind, dryRun));
        out += ", \"reason\": " + (f.kind == FileOutcome::Failed ? Quoted(f.reason) : "null");
        out += "}";
    }
    out += result.files.empty() ? "]\n}\n" : "\n  ]\n}\n";
    return out;
}

std::string PlanLine(const FileOutcome& f)
{
    std::string line = f.source + " -> " + f.destination + " " + std::to_string(f.width) + "x" +
                       std::to_string(f.height);
    if (f.kind == FileOutcome::Skipped)
        line += " (" + LangMessage("M041") + ")";
    return line;
}

} // namespace tabulonix::cli
