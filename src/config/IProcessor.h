// The interface of every configuration processor: one piece of the
// configuration record translated to setting commands, to queries, and back
// from the instrument's replies.
#pragma once

#include "korda32ext.h"

#include <memory>
#include <string>
#include <vector>

namespace korda32ex {

class SCPIHandler;

using CommandList = std::vector<std::string>;

class IProcessor {
  public:
    virtual ~IProcessor() = default;
    // Appends the setting commands of this piece; false stops the whole build
    // (errorText and errorCode then say why).
    virtual bool buildCommands(const VmrInstConfig& record, CommandList& commands,
                               std::string& errorText, int& errorCode) = 0;
    // Stores what the reply carries into the record. A reply that cannot be
    // used sets errorText to "Invalid response: " + reply, errorCode to -1,
    // and returns false.
    virtual bool parseResponse(const std::string& reply, VmrInstConfig& record,
                               std::string& errorText, int& errorCode) = 0;
    // Appends the queries that read this piece back. A processor may ask the
    // instrument at once (through handler, which may be null when there is no
    // instrument: such a processor then appends nothing).
    virtual bool buildQueries(CommandList& queries, SCPIHandler* handler) = 0;
    // Number of reply lines this processor's queries produce.
    virtual int responseCount() { return 1; }
    // True when parsing must pass this processor by without consuming a line.
    virtual bool isSkipped() { return false; }
};

using ProcessorPtr = std::shared_ptr<IProcessor>;

// The three operations every leaf processor defines, declared once.
#define KORDA_LEAF_OPERATIONS                                                                      \
    bool buildCommands(const VmrInstConfig& record, CommandList& commands, std::string& errorText, \
                       int& errorCode) override;                                                   \
    bool parseResponse(const std::string& reply, VmrInstConfig& record, std::string& errorText,    \
                       int& errorCode) override;                                                   \
    bool buildQueries(CommandList& queries, SCPIHandler* handler) override;

// Sets the "Invalid response: " error of a rejected reply; returns false.
bool invalidResponse(const std::string& reply, std::string& errorText, int& errorCode);

// An ordered list of children with the composite rules: commands and queries
// built child by child (stopping at the first failure), replies handed out
// line by line according to each child's responseCount.
class CompositeProcessor : public IProcessor {
  public:
    bool buildCommands(const VmrInstConfig& record, CommandList& commands, std::string& errorText,
                       int& errorCode) override;
    bool parseResponse(const std::string& reply, VmrInstConfig& record, std::string& errorText,
                       int& errorCode) override;
    bool buildQueries(CommandList& queries, SCPIHandler* handler) override;
    int responseCount() override;

    void addChild(ProcessorPtr child) { children_.push_back(std::move(child)); }
    const std::vector<ProcessorPtr>& children() const { return children_; }

  protected:
    std::vector<ProcessorPtr> children_;
};

// Takes the next n reply lines from text starting at cursor, the way the
// composite hands them to a child: a line ends at CR or LF ("\r\n" and "\n\r"
// count as one ending); n = 1 gives the bare line, n > 1 gives each line
// followed by "\r\n"; when the text runs out, what was collected so far.
// Advances cursor past the lines taken.
std::string takeReplyLines(const std::string& text, std::size_t& cursor, int n);

} // namespace korda32ex
