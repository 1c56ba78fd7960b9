/* The one C entry point of a plug-in library, and the layout check that
 * keeps a library built against another SDK out of the service.
 *
 * The service calls HearthPluginCreate with its own ABI description; the
 * library compares it with the one it was built with and, only when they
 * match, makes the object of the ProgID. Plug-ins never write this by hand:
 * HEARTH_PLUGIN (hearth/plugin.h) generates it. */
#ifndef HEARTH_PLUGIN_ABI_H
#define HEARTH_PLUGIN_ABI_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Raised whenever the object model's layout or the entry point's contract
 * changes. */
#define HEARTH_PLUGIN_ABI_VERSION 1u

#define HEARTH_PLUGIN_ENTRY_NAME "HearthPluginCreate"

typedef struct HearthPluginAbi {
  uint32_t version;         /* HEARTH_PLUGIN_ABI_VERSION */
  uint32_t variant_size;    /* sizeof(platform::Variant) */
  uint32_t string_size;     /* sizeof(std::string): the library's C++ ABI */
  uint32_t object_ptr_size; /* sizeof(platform::com::ObjectPtr) */
} HearthPluginAbi;

enum HearthPluginResult {
  HEARTH_PLUGIN_OK = 0,
  HEARTH_PLUGIN_WRONG_ABI = 1,     /* *plugin_abi says what the library was built for */
  HEARTH_PLUGIN_UNKNOWN_CLASS = 2, /* the library makes no object of that ProgID */
  HEARTH_PLUGIN_FAILED = 3         /* the class's factory failed; message says why */
};

/* `object` points to the host's platform::com::ObjectPtr that receives the
 * new object. `message` (of `message_size` bytes, NUL-terminated on return)
 * receives the reason of a failure. */
typedef int (*HearthPluginCreateFn)(const HearthPluginAbi* host_abi, HearthPluginAbi* plugin_abi,
                                    const char* progid, void* object, char* message, size_t message_size);

#ifdef __cplusplus
}
#endif

#endif /* HEARTH_PLUGIN_ABI_H */
