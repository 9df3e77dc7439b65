/* A host program as a user of the installed SDK writes it: connect, count
 * the users and the attendance records, close. */
#include <devapi.h>
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  DEVAPI_HANDLE h = Q_Connect_NET(argv[1], atoi(argv[2]), NULL, NULL, 0);
  if (h == NULL) return fprintf(stderr, "connect: %d\n", Q_LastError(NULL)), 1;
  int users = 0, punches = 0;
  int32_t pin, privilege, enabled, pin2, group, tz[4], user, y, mo, d, hh, mi, s;
  char name[9], password[6];
  uint8_t card[5], verify, state;
  if (Q_ReadUserInfo(h) == 1)
    while (Q_GetUserInfo(h, &pin, name, &privilege, &enabled, password, card, &pin2, &group, tz) == 1) ++users;
  if (Q_ReadLog(h, 0) == 1)
    while (Q_GetLog(h, &user, &verify, &state, &y, &mo, &d, &hh, &mi, &s) == 1) ++punches;
  printf("users %d punches %d\n", users, punches);
  Q_Close(h);
  return 0;
}
