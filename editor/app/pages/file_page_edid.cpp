#include "file_page_edid.h"

#include "editor_strings.h"

#include <tolvane/edid.h>
#include <tolvane/file_io.h>
#include <tolvane/panel_checks.h>
#include <tolvane/timing_conversions.h>

#include <QStringList>
#include <vector>

namespace {

// A base block and up to 255 extension blocks: the most an EDID can announce.
constexpr std::size_t kMaxEdidBytes = kEdidBlockSize * 256;

// A message box lists no more problems than this; the rest are counted.
constexpr int kMaxListedLines = 12;

// Header bytes that may be wrong for the file still to count as a damaged
// EDID. A panel file begins with "VANTRL2" and a NUL and differs in seven, so
// no panel file is ever taken for an EDID.
constexpr int kMaxWrongHeaderBytes = 2;

bool NearlyEdidHeader(const std::vector<uint8_t>& bytes) {
    if (bytes.size() < kEdidHeader.size()) return false;
    int wrong = 0;
    for (std::size_t i = 0; i < kEdidHeader.size(); ++i)
        if (bytes[i] != kEdidHeader[i]) ++wrong;
    return wrong <= kMaxWrongHeaderBytes;
}

QString Text(const std::string& s) { return QString::fromStdString(s); }

void AppendLimited(QStringList& lines, const QStringList& items) {
    for (int i = 0; i < items.size() && i < kMaxListedLines; ++i) lines << items[i];
    if (items.size() > kMaxListedLines) lines << QStringLiteral("... and %1 more").arg(items.size() - kMaxListedLines);
}

QStringList Findings(const std::vector<CheckFinding>& findings, CheckSeverity severity) {
    QStringList out;
    for (const CheckFinding& f : findings)
        if (f.severity == severity) out << Text(f.field + ": " + f.message);
    return out;
}

QString Failure(const QStringList& details) {
    QStringList lines{kCantImportEdidText, QString()};
    lines << details;
    lines << QString() << kEdidPanelUnchangedText;
    return lines.join(QLatin1Char('\n'));
}

// The reason nothing can be taken from a decoded EDID, or an empty list.
QStringList DecodingFailure(const EdidInfo& info) {
    QStringList errors;
    for (const EdidProblem& p : info.problems)
        if (p.severity == EdidSeverity::Error) errors << Text(FormatEdidProblem(p));
    if (errors.isEmpty()) return {};
    QStringList details;
    AppendLimited(details, errors);
    if (info.decoded && !info.checksumOk) details << QString() << kEdidWrongChecksumText;
    return details;
}

QString Success(const EdidInfo& info, const EdidTiming& timing, const PanelConversion& c) {
    QStringList lines{kEdidImportedText.arg(Text(DescribeTiming(timing.timing))), QString()};
    QStringList defaulted;
    for (const std::string& field : c.defaulted) defaulted << Text(field);
    lines << kEdidDefaultedText.arg(defaulted.join(QStringLiteral(", ")));
    QStringList notes = Findings(c.notes, CheckSeverity::Warning);
    for (const EdidProblem& p : info.problems) notes << Text(FormatEdidProblem(p));  // only warnings are left here
    if (!notes.isEmpty()) {
        lines << QString() << kEdidNotesText;
        AppendLimited(lines, notes);
    }
    return lines.join(QLatin1Char('\n'));
}

void Convert(const EdidInfo& info, EdidFileImport& result) {
    if (const QStringList failure = DecodingFailure(info); !failure.isEmpty()) {
        result.message = Failure(failure);
        return;
    }
    const EdidTiming* timing = PreferredTiming(info);
    if (!timing) {
        result.message = Failure({kEdidNoTimingText});
        return;
    }
    const QString described = Text(DescribeTiming(timing->timing));
    const PanelConversion c = PanelFromTiming(timing->timing, &info);
    if (!c.ok()) {
        QStringList details{kEdidBoardCannotHoldText.arg(described)};
        AppendLimited(details, Findings(c.refusals, CheckSeverity::Error));
        result.message = Failure(details);
        return;
    }
    const QStringList checks = Findings(CheckPanelRecord(c.record), CheckSeverity::Error);
    if (!checks.isEmpty()) {
        QStringList details{kEdidFailsChecksText.arg(described)};
        AppendLimited(details, checks);
        result.message = Failure(details);
        return;
    }
    result.imported = true;
    result.record = c.record;
    result.message = Success(info, *timing, c);
}

}  // namespace

EdidFileImport ImportEdidFile(const std::filesystem::path& path) {
    EdidFileImport result;
    std::vector<uint8_t> bytes(kMaxEdidBytes);
    const long got = ReadFileStart(path, bytes.data(), bytes.size());
    if (got < 0) return result;  // not readable: the panel file's load failure tells
    bytes.resize(static_cast<std::size_t>(got));
    if (!NearlyEdidHeader(bytes)) return result;
    result.recognised = true;
    Convert(DecodeEdid(bytes), result);
    return result;
}
