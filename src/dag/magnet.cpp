#include "dag/magnet.h"

#include <tuple>

#include "dag/md5_digest.h"
#include "dag/trace.h"
#include "graph/blocked_nodes.h"
#include "tree/tree_string.h"

namespace tolva {

Result<std::string_view> get_magnet(GraphWrap& graph, NodeIndex node, bool allow_hashes,
                                    RewriteContext& context) {
  if (auto cached = graph.cached_magnet(node, allow_hashes)) return *cached;
  auto floor = graph.floor(node);
  if (!floor) return parse_error("magnet requires floored graph");

  auto below = tree_text_from(context.walker(), graph, node, BlockedNodes::floors_up_to(*floor, node), false,
                              context.controls().stop, context.memo());
  if (!below) return parse_error(std::move(below.error()));

  // The magnet is written straight into the graph's texts: "_" + the hex
  // digest or the text itself + "_".
  std::optional<Digest> digest;
  std::size_t size = 2 * std::tuple_size_v<Digest> + 2;
  if (allow_hashes) {
    digest = context.md5().digest("_", below->text, "_");
    if (!digest) return parse_error("md5 digest failed");
  } else {
    size = below->text.size() + 2;
    if (auto taken = context.take_magnet_text(size); !taken) return std::unexpected(taken.error());
  }
  char* out = graph.texts().reserve(size);
  out[0] = '_';
  if (digest)
    write_hex_digest(*digest, out + 1);
  else
    below->text.copy_to(out + 1);
  out[size - 1] = '_';
  std::string_view magnet(out, size);
  if (context.trace().magnet_on())
    emit(context.trace(), "magnet", {{"magnet", JsonValue(magnet)}, {"node", JsonValue(graph.id(node))}});

  graph.cache_magnet(node, magnet, digest, allow_hashes);
  return magnet;
}

Result<std::string_view> adopt_twin_magnet(GraphWrap& graph, NodeIndex node, NodeIndex twin, bool allow_hashes,
                                           RewriteContext& context) {
  auto magnet = graph.cached_magnet(twin, allow_hashes);
  if (!magnet) return parse_error("twin magnet missing");
  if (!allow_hashes)
    if (auto taken = context.take_magnet_text(magnet->size()); !taken) return std::unexpected(taken.error());
  if (context.trace().magnet_on())
    emit(context.trace(), "magnet", {{"magnet", JsonValue(*magnet)}, {"node", JsonValue(graph.id(node))}});
  // The same text, so the same view: the graph's texts never change.
  graph.cache_magnet(node, *magnet, graph.magnet_digest(twin), allow_hashes);
  return *magnet;
}

}  // namespace tolva
