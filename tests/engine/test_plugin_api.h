/* Test plug-ins forward every DEVORU_ call to a table the test installs,
 * so one in-process fake terminal can sit behind a real loaded plug-in. */
#ifndef TERMKIT_TESTS_ENGINE_TEST_PLUGIN_API_H
#define TERMKIT_TESTS_ENGINE_TEST_PLUGIN_API_H

#include "devoru.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct EngtestTable {
  DEVORU_INIT_FN init;
  DEVORU_INITEX_FN initex;
  DEVORU_CLOSE_FN close;
  DEVORU_SEND_FN send;
  DEVORU_READ_FN read;
  DEVORU_TERMINALREAD_FN terminal_read;
  DEVORU_NAME_FN name;
  DEVORU_FLUSH_FN flush;
  DEVORU_ERROR_FN error;
} EngtestTable;

typedef void (*ENGTEST_SET_TABLE_FN)(const EngtestTable* table);

#ifdef __cplusplus
}
#endif

#endif
