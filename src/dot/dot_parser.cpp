#include "dot/dot_parser.h"

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "dot/dot_lexer.h"
#include "dot/edge_operator_count.h"
#include "dot/token_lookahead.h"
#include "dot/file_text.h"
#include "dot/latin1_text.h"
#include "dot/text_position.h"
#include "dot/utf8_decode.h"

namespace tolva {
namespace {

using Step = std::expected<void, DotSyntaxError>;

struct Header {
  bool strict = false;
  bool directed = false;
  std::size_t keyword = 0;  // offset of graph / digraph
};

// One end of an edge chain: a list of nodes, or a subgraph.
struct Operand {
  bool is_subgraph;
  SubgraphId subgraph;
  std::size_t first_node;  // node list: its range in the parser's node stack
  std::size_t end_node;
};

// A statement being read: its operands are those from `first_operand` on.
struct Statement {
  std::size_t first_operand;
  std::size_t first_node;
  bool has_edge_op;
};

enum class AttributeTarget { kGraph, kNode, kEdge };

class DotParser {
 public:
  DotParser(std::string_view text, const DotReadOptions& options, StopControl* stop)
      : text_(text), options_(options), stop_(stop), lexer_(text) {}

  Result<GraphWrap> parse() {
    auto read = parse_graph();
    if (stop_ != nullptr && stop_->stopped()) return interrupted_error();
    return read;
  }

 private:
  Result<GraphWrap> parse_graph() {
    auto header = read_header();
    if (!header) return syntax_failure(header.error());
    if (header->directed && !options_.accept_directed)
      return unsupported_error("directed graph at " + describe_position(text_, header->keyword));
    builder_.emplace(options_, header->strict, header->directed);
    // Most edge statements make one edge per operator; more grow the slots.
    builder_->reserve_edges(count_edge_operators(text_, header->directed ? "->" : "--"));
    lexer_.watch_ids([this](std::string_view id) { builder_->expect_mention(id); });
    directed_ = header->directed;
    edge_attributes_ = builder_->new_edge_attributes();
    if (auto body = read_body(); !body) return syntax_failure(body.error());
    if (current_.kind != DotTokenKind::kEnd)
      return syntax_failure(expected("the end of input after the graph (one graph is read)"));
    return std::move(*builder_).finish();
  }

  std::unexpected<TolvaError> syntax_failure(const DotSyntaxError& error) const {
    return parse_error(describe_position(text_, error.offset) + ": " + error.message);
  }

  DotSyntaxError expected(std::string_view what) const {
    return DotSyntaxError{current_.begin, "expected " + std::string(what) + ", found " +
                                              describe_token(current_)};
  }

  Step advance() {
    auto token = lexer_.next();
    if (!token) return std::unexpected(std::move(token.error()));
    current_ = *token;
    return {};
  }

  bool at(DotTokenKind kind) const { return current_.kind == kind; }

  Step require(DotTokenKind kind, std::string_view what) {
    if (!at(kind)) return std::unexpected(expected(what));
    return {};
  }

  std::expected<Header, DotSyntaxError> read_header() {
    if (auto step = advance(); !step) return std::unexpected(step.error());
    Header header;
    if (at(DotTokenKind::kStrict)) {
      header.strict = true;
      if (auto step = advance(); !step) return std::unexpected(step.error());
    }
    if (!at(DotTokenKind::kGraph) && !at(DotTokenKind::kDigraph))
      return std::unexpected(expected(header.strict ? "'graph' or 'digraph'"
                                                    : "'graph', 'digraph' or 'strict'"));
    header.directed = at(DotTokenKind::kDigraph);
    header.keyword = current_.begin;
    if (auto step = advance(); !step) return std::unexpected(step.error());
    if (at(DotTokenKind::kId))
      if (auto step = advance(); !step) return std::unexpected(step.error());
    if (auto step = require(DotTokenKind::kLeftBrace, "'{' to open the graph"); !step)
      return std::unexpected(step.error());
    return header;
  }

  Statement fresh_statement() const { return Statement{operands_.size(), nodes_.size(), false}; }

  // Where the body loop stands.
  enum class Place { kStatementStart, kAfterOperand, kGraphClosed };
  using Move = std::expected<Place, DotSyntaxError>;

  // From the graph's '{' to its '}'. Each subgraph body suspends the
  // statement it is an operand of; its '}' resumes that statement.
  Step read_body() {
    if (auto step = advance(); !step) return step;
    statement_ = fresh_statement();
    Place place = Place::kStatementStart;
    while (place != Place::kGraphClosed) {
      // Polled once a token or so: a large file can take seconds.
      if (stop_ != nullptr && stop_->should_stop())
        return std::unexpected(DotSyntaxError{current_.begin, "stopped"});
      Move next = place == Place::kStatementStart ? statement_start() : after_operand();
      if (!next) return std::unexpected(std::move(next.error()));
      place = *next;
    }
    return {};
  }

  Move statement_start() {
    switch (current_.kind) {
      case DotTokenKind::kRightBrace:
        return close_body();
      case DotTokenKind::kGraph:
      case DotTokenKind::kNode:
      case DotTokenKind::kEdge:
        if (auto step = attribute_statement(); !step) return std::unexpected(step.error());
        if (auto step = optional_semicolon(); !step) return std::unexpected(step.error());
        return Place::kStatementStart;
      case DotTokenKind::kSubgraph:
      case DotTokenKind::kLeftBrace:
        return enter_subgraph();
      case DotTokenKind::kId:
        return id_statement();
      default:
        return std::unexpected(expected(suspended_.empty() ? "a statement or the graph's closing '}'"
                                                           : "a statement or the subgraph's closing '}'"));
    }
  }

  // An edge operator continues the chain; anything else ends the statement.
  Move after_operand() {
    if (!at(DotTokenKind::kUndirectedEdge) && !at(DotTokenKind::kDirectedEdge)) {
      auto target = statement_.has_edge_op ? AttributeTarget::kEdge : AttributeTarget::kNode;
      if (auto step = attribute_lists(target); !step) return std::unexpected(step.error());
      finish_statement(statement_);
      if (auto step = optional_semicolon(); !step) return std::unexpected(step.error());
      statement_ = fresh_statement();
      return Place::kStatementStart;
    }
    if (auto step = edge_operator(); !step) return std::unexpected(step.error());
    statement_.has_edge_op = true;
    if (at(DotTokenKind::kSubgraph) || at(DotTokenKind::kLeftBrace)) return enter_subgraph();
    if (!at(DotTokenKind::kId))
      return std::unexpected(expected("a node or subgraph after the edge operator"));
    if (auto step = node_list(); !step) return std::unexpected(step.error());
    return Place::kAfterOperand;
  }

  // `id = id` (a graph attribute, nothing of the graph store's) or the first
  // node of an operand.
  Move id_statement() {
    DotToken first = current_;
    if (auto step = advance(); !step) return std::unexpected(step.error());
    if (!at(DotTokenKind::kEquals)) {
      if (auto step = node_list_from(first); !step) return std::unexpected(step.error());
      return Place::kAfterOperand;
    }
    if (auto step = advance(); !step) return std::unexpected(step.error());
    if (auto step = require(DotTokenKind::kId, "a value after '='"); !step) return std::unexpected(step.error());
    if (auto step = advance(); !step) return std::unexpected(step.error());
    if (auto step = optional_semicolon(); !step) return std::unexpected(step.error());
    return Place::kStatementStart;
  }

  // A subgraph body opens; the statement it is an operand of waits for its '}'.
  Move enter_subgraph() {
    if (auto step = open_subgraph(); !step) return std::unexpected(step.error());
    suspended_.push_back(statement_);
    statement_ = fresh_statement();
    return Place::kStatementStart;
  }

  // A subgraph's '}' makes it an operand of the statement it interrupted; the
  // graph's own '}' ends the body.
  Move close_body() {
    bool graph_closes = suspended_.empty();
    SubgraphId closed = graph_closes ? 0 : builder_->close_subgraph();
    if (auto step = advance(); !step) return std::unexpected(step.error());
    if (graph_closes) return Place::kGraphClosed;
    statement_ = suspended_.back();
    suspended_.pop_back();
    operands_.push_back(Operand{true, closed, 0, 0});
    return Place::kAfterOperand;
  }

  Step edge_operator() {
    bool directed_op = at(DotTokenKind::kDirectedEdge);
    if (directed_op != directed_)
      return std::unexpected(DotSyntaxError{
          current_.begin, directed_op ? "'->' in an undirected graph (edges there are '--')"
                                      : "'--' in a directed graph (edges there are '->')"});
    return advance();
  }

  Step optional_semicolon() {
    if (at(DotTokenKind::kSemicolon)) return advance();
    return {};
  }

  // `subgraph [id] {` or `{`; leaves the first token of the body current.
  Step open_subgraph() {
    std::optional<std::string> name;
    if (at(DotTokenKind::kSubgraph)) {
      if (auto step = advance(); !step) return step;
      if (at(DotTokenKind::kId)) {
        name = std::string(current_.text);
        if (auto step = advance(); !step) return step;
      }
    }
    if (auto step = require(DotTokenKind::kLeftBrace, "'{' to open the subgraph"); !step) return step;
    builder_->open_subgraph(name);
    return advance();
  }

  // A node list starting at the current id.
  Step node_list() {
    DotToken first = current_;
    if (auto step = advance(); !step) return step;
    return node_list_from(first);
  }

  // A node list whose first id was `first`, the token after it current.
  Step node_list_from(const DotToken& first) {
    std::size_t first_node = nodes_.size();
    nodes_.push_back(builder_->mention_node(first.text));
    if (auto step = port(); !step) return step;
    while (at(DotTokenKind::kComma)) {
      if (auto step = advance(); !step) return step;
      if (auto step = require(DotTokenKind::kId, "a node id after ','"); !step) return step;
      nodes_.push_back(builder_->mention_node(current_.text));
      if (auto step = advance(); !step) return step;
      if (auto step = port(); !step) return step;
    }
    operands_.push_back(Operand{false, 0, first_node, nodes_.size()});
    return {};
  }

  // `:port` or `:port:compass` after a node id; ports do not change the graph.
  Step port() {
    for (int part = 0; part < 2 && at(DotTokenKind::kColon); ++part) {
      if (auto step = advance(); !step) return step;
      if (auto step = require(DotTokenKind::kId, "a port name after ':'"); !step) return step;
      if (auto step = advance(); !step) return step;
    }
    return {};
  }

  // `graph [...]`, `node [...]` or `edge [...]`: defaults from here on.
  Step attribute_statement() {
    DotTokenKind kind = current_.kind;
    std::string keyword(current_.text);
    if (auto step = advance(); !step) return step;
    if (auto step = require(DotTokenKind::kLeftBracket, "'[' after '" + keyword + "'"); !step)
      return step;
    auto target = kind == DotTokenKind::kNode   ? AttributeTarget::kNode
                  : kind == DotTokenKind::kEdge ? AttributeTarget::kEdge
                                                : AttributeTarget::kGraph;
    if (auto step = attribute_lists(target); !step) return step;
    if (target == AttributeTarget::kNode && node_label_) builder_->set_node_label_default(*node_label_);
    if (target == AttributeTarget::kEdge) builder_->set_edge_defaults(edge_attributes_);
    return {};
  }

  // Zero or more `[k=v, ...]` lists; keeps the values that matter for `target`.
  Step attribute_lists(AttributeTarget target) {
    node_label_.reset();
    for (auto& value : edge_attributes_) value.reset();
    while (at(DotTokenKind::kLeftBracket)) {
      if (auto step = advance(); !step) return step;
      while (!at(DotTokenKind::kRightBracket)) {
        if (auto step = require(DotTokenKind::kId, "an attribute name or ']'"); !step) return step;
        std::optional<std::string>* slot = value_slot(target, current_.text);
        if (auto step = advance(); !step) return step;
        if (auto step = require(DotTokenKind::kEquals, "'=' after the attribute name"); !step) return step;
        if (auto step = advance(); !step) return step;
        if (auto step = require(DotTokenKind::kId, "an attribute value after '='"); !step) return step;
        if (slot != nullptr) *slot = std::string(current_.text);
        if (auto step = advance(); !step) return step;
        if (at(DotTokenKind::kComma) || at(DotTokenKind::kSemicolon))
          if (auto step = advance(); !step) return step;
      }
      if (auto step = advance(); !step) return step;
    }
    return {};
  }

  std::optional<std::string>* value_slot(AttributeTarget target, std::string_view key) {
    if (target == AttributeTarget::kNode)
      return key == options_.label_key ? &node_label_ : nullptr;
    if (target == AttributeTarget::kEdge) {
      int slot = builder_->modality_slot(key);
      return slot < 0 ? nullptr : &edge_attributes_[static_cast<std::size_t>(slot)];
    }
    return nullptr;
  }

  // The nodes an operand stands for.
  std::span<const NodeIndex> operand_nodes(const Operand& operand, std::vector<NodeIndex>& scratch) {
    if (!operand.is_subgraph)
      return std::span<const NodeIndex>(nodes_).subspan(operand.first_node,
                                                        operand.end_node - operand.first_node);
    scratch.clear();
    builder_->append_subgraph_nodes(operand.subgraph, scratch);
    return scratch;
  }

  // Labels the nodes of a node statement, or makes the edges of an edge
  // statement: every node of each operand to every node of the next.
  void finish_statement(const Statement& statement) {
    std::size_t count = operands_.size() - statement.first_operand;
    if (!statement.has_edge_op) {
      const Operand& only = operands_[statement.first_operand];
      if (count == 1 && !only.is_subgraph && node_label_)
        for (std::size_t i = only.first_node; i < only.end_node; ++i)
          builder_->set_node_label(nodes_[i], *node_label_);
    } else {
      for (std::size_t i = statement.first_operand; i + 1 < operands_.size(); ++i) {
        auto tails = operand_nodes(operands_[i], tails_);
        auto heads = operand_nodes(operands_[i + 1], heads_);
        for (NodeIndex tail : tails)
          for (NodeIndex head : heads) builder_->add_edge(tail, head, edge_attributes_);
      }
    }
    operands_.resize(statement.first_operand);
    nodes_.resize(statement.first_node);
  }

  std::string_view text_;
  const DotReadOptions& options_;
  StopControl* stop_;
  TokenLookahead lexer_;
  DotToken current_;
  std::optional<DotGraphBuilder> builder_;
  bool directed_ = false;
  // The operands of the statements being read, innermost last, and the
  // nodes of their node lists.
  std::vector<Operand> operands_;
  std::vector<NodeIndex> nodes_;
  std::vector<NodeIndex> tails_;
  std::vector<NodeIndex> heads_;
  // The statement being read, and those of the bodies around it that wait
  // for a subgraph operand to close.
  Statement statement_{0, 0, false};
  std::vector<Statement> suspended_;
  // What the last attribute lists gave the label key and the modality keys.
  std::optional<std::string> node_label_;
  EdgeAttributes edge_attributes_;
};

}  // namespace

Result<GraphWrap> read_dot_graph(std::string_view text, const DotReadOptions& options, StopControl* stop) {
  return DotParser(text, options, stop).parse();
}

Result<GraphWrap> read_dot_graph_file(std::string_view path, const DotReadOptions& options,
                                      StopControl* stop) {
  auto bytes = read_file_bytes(path, stop);
  if (stop != nullptr && stop->stopped()) return interrupted_error();
  if (!bytes) return parse_error(std::move(bytes.error()));
  if (is_valid_utf8(*bytes)) return read_dot_graph(*bytes, options, stop);
  return read_dot_graph(utf8_from_latin1(*bytes), options, stop);
}

}  // namespace tolva
