/* The one C entry point of a plug-in library, and the layout check that
 * keeps a library built against another SDK out of the service.
 *
 * The service calls HearthPluginCreate with its own ABI description; the
 * library compares it with the one it was built with and, only when they
 * match, makes the object of the ProgID. Plug-ins never write this by hand:
 * HEARTH_PLUGIN (hearth/plugin.h) generates it.
 *
 * The description starts with its own size, so either side reads and writes
 * only as many bytes as the other side's description holds: a newer library
 * never writes past an older service's buffer, and an older one is still
 * told apart. A description of the first layout (before the size field:
 * version, then the three sizes) has its version, 1, where the size now is;
 * no real size is that small, which is how both sides recognise it. */
#ifndef HEARTH_PLUGIN_ABI_H
#define HEARTH_PLUGIN_ABI_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Raised whenever the object model's layout or the entry point's contract
 * changes. (Defined beforehand only by a test that builds a library for
 * another interface.) */
#ifndef HEARTH_PLUGIN_ABI_VERSION
#define HEARTH_PLUGIN_ABI_VERSION 2u
#endif

#define HEARTH_PLUGIN_ENTRY_NAME "HearthPluginCreate"

typedef struct HearthPluginAbi {
  uint32_t size;            /* sizeof(HearthPluginAbi) of the side that wrote it; always first */
  uint32_t version;         /* HEARTH_PLUGIN_ABI_VERSION */
  uint32_t variant_size;    /* sizeof(platform::Variant) */
  uint32_t string_size;     /* sizeof(std::string): the library's C++ ABI */
  uint32_t object_ptr_size; /* sizeof(platform::com::ObjectPtr) */
} HearthPluginAbi;

/* A first word below this is the version of a description of the first
 * layout (4 words, no size). */
#define HEARTH_PLUGIN_ABI_MIN_SIZE 8u
#define HEARTH_PLUGIN_ABI_FIRST_LAYOUT_SIZE 16u

enum HearthPluginResult {
  HEARTH_PLUGIN_OK = 0,
  HEARTH_PLUGIN_WRONG_ABI = 1,     /* *plugin_abi says what the library was built for */
  HEARTH_PLUGIN_UNKNOWN_CLASS = 2, /* the library makes no object of that ProgID */
  HEARTH_PLUGIN_FAILED = 3         /* the class's factory failed; message says why */
};

/* `host_abi` is the service's description; `plugin_abi` is a buffer of
 * host_abi->size bytes (the first layout: 16) that receives the library's.
 * `object` points to the host's platform::com::ObjectPtr that receives the
 * new object. `message` (of `message_size` bytes, NUL-terminated on return)
 * receives the reason of a failure. */
typedef int (*HearthPluginCreateFn)(const HearthPluginAbi* host_abi, HearthPluginAbi* plugin_abi,
                                    const char* progid, void* object, char* message, size_t message_size);

#ifdef __cplusplus
}
#endif

#endif /* HEARTH_PLUGIN_ABI_H */
