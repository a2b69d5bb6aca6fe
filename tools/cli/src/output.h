// Everything a command prints goes through one Output: data on standard
// output, messages on standard error. It owns the conventions, so that no
// command has to remember them: every message line starts with the tool's
// name, notes are hidden under --quiet (errors never are), text that is not
// UTF-8 is shown with \xHH for each foreign byte, and JSON is written by a
// writer that never throws. With --json, a command that fails without
// printing its own JSON gets one object {"ok": false, "error": ...} from the
// framework.
#pragma once

#include <cstddef>
#include <ostream>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace cli {

using Json = nlohmann::ordered_json;

// Indented JSON that never throws, whatever a string holds (bytes that are
// not UTF-8 become U+FFFD).
std::string DumpJson(const Json& json);
// The same on one line (JSON Lines).
std::string DumpJsonLine(const Json& json);

// "1 byte", "2 bytes": the count and the word that goes with it.
std::string Plural(std::size_t n, const char* one, const char* many);

// Message text as it may be shown: valid UTF-8 kept as it is (line breaks and
// tabs too), every byte that is not part of valid UTF-8 as \xHH.
std::string ShownText(std::string_view text);

class Output;

// A stream buffer that passes everything on to another and counts the bytes.
class CountingBuffer : public std::streambuf {
public:
    explicit CountingBuffer(std::streambuf* to) : to_(to) {}
    std::size_t count = 0;

protected:
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
        ++count;
        return to_->sputc(traits_type::to_char_type(c));
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        count += static_cast<std::size_t>(n);
        return to_->sputn(s, n);
    }
    int sync() override { return to_->pubsync(); }

private:
    std::streambuf* to_;
};

// One message line being composed; it is written when it goes out of scope.
class MessageLine {
public:
    enum class Kind { Error, Note, Plain };
    MessageLine(Output& o, Kind kind) : o_(o), kind_(kind) {}
    MessageLine(const MessageLine&) = delete;
    MessageLine& operator=(const MessageLine&) = delete;
    ~MessageLine();
    template <typename T>
    MessageLine& operator<<(const T& value) {
        text_ << value;
        return *this;
    }

private:
    Output& o_;
    Kind kind_;
    std::ostringstream text_;
};

class Output {
public:
    Output(std::ostream& out, std::ostream& err, bool json, bool quiet, bool progress)
        : out(out), err(err), json(json), quiet(quiet), progress(progress && !quiet) {}

    std::ostream& out;  // data
    std::ostream& err;  // messages; commands use Error() and Note(), the progress bar draws here
    const bool json = false;
    const bool quiet = false;
    const bool progress = false;  // draw a progress bar on err (a terminal, not quiet)

    // "tolvane2-cli: ..." on err, always shown; the first one is the error of
    // the JSON failure object.
    MessageLine Error() { return MessageLine(*this, MessageLine::Kind::Error); }
    // "tolvane2-cli: ..." on err, hidden under --quiet.
    MessageLine Note() { return MessageLine(*this, MessageLine::Kind::Note); }
    // A line without the tool's name (a plan, a table row on err), hidden under --quiet.
    MessageLine Plain() { return MessageLine(*this, MessageLine::Kind::Plain); }

    // The command's JSON result on out, indented; marks that the command
    // printed its own JSON (the framework then adds nothing).
    void WriteJson(const Json& json);
    // One JSON line on out (JSON Lines).
    void WriteJsonLine(const Json& json);

    // True when the command printed its JSON, or anything else on out.
    bool JsonWritten() const { return jsonWritten_ || (wrote_ != nullptr && *wrote_ > 0); }
    // Counts what reaches out (set by the framework).
    void CountDataIn(const std::size_t* wrote) { wrote_ = wrote; }
    const std::vector<std::string>& Errors() const { return errors_; }

private:
    friend class MessageLine;
    void Emit(MessageLine::Kind kind, const std::string& text);
    bool jsonWritten_ = false;
    const std::size_t* wrote_ = nullptr;
    std::vector<std::string> errors_;
};

}  // namespace cli
