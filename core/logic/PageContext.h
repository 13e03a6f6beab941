// What a control page is given at construction, instead of reaching for the
// application: the parameter set it edits, where its tool commands go, and
// the shared blocks it mirrors values into. The host link and the shared
// blocks implement the two interfaces; the tests of a page could give others.
#pragma once

#include <string>

#include "KelvaneHost.h"
#include "core/logic/ParameterSet.h"
#include "core/logic/SharedBlock.h"

namespace kelvane {

class CommandSink {
public:
    // Hands a whole 520-byte command to the host and returns when it has it.
    virtual void SendToolCommand(const ToolCommand* block) = 0;
    // The commands of one Download, between these two, are reported as one.
    virtual void BeginBatch(const char* /*what*/) {}
    virtual void EndBatch() {}
    // The next command's value was asked for as value and limited by the
    // page: the journal keeps both.
    virtual void AskedFor(int32_t /*value*/) {}
    // A command with this code reached the host since the library started.
    virtual bool SentSinceStart(int32_t /*code*/) const { return true; }
    // What the tool was last sent with code, as far as the job's journal
    // knows: "tool: Monopole stack 3, sent 10:32:05 before the reload", or
    // "tool: not known" ("" where nobody keeps a journal).
    virtual std::string ToolHolds(int32_t /*code*/) const { return std::string(); }
    // The value the tool was last sent with code, where the journal knows it.
    virtual bool ToolValue(int32_t /*code*/, int32_t* /*value*/) const { return false; }

protected:
    ~CommandSink() = default;
};

// A Download's commands, from construction to the end of the scope.
class CommandBatch {
public:
    CommandBatch(CommandSink& sink, const char* what) : m_sink(sink) { m_sink.BeginBatch(what); }
    ~CommandBatch() { m_sink.EndBatch(); }
    CommandBatch(const CommandBatch&) = delete;
    CommandBatch& operator=(const CommandBatch&) = delete;

private:
    CommandSink& m_sink;
};

class BlockPublisher {
public:
    virtual BlockView ToolControlBlock() const = 0;
    virtual BlockView ProcessBlock() const = 0;

protected:
    ~BlockPublisher() = default;
};

struct PageContext {
    ParameterSet& params;
    CommandSink& commands;
    const BlockPublisher& blocks;
};

}  // namespace kelvane
