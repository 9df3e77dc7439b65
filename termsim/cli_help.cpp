#include "cli_help.h"

namespace termsim_cli {

const char* HelpText() {
  return R"(usage: termsim [--udp ADDR:PORT] [--tcp ADDR:PORT] [--usb DIR]
               [--profile NAME|FILE | --demo]
               [--data FILE] [--option NAME=VALUE] [--set KEY=VALUE] [--password N]
               [--firmware TEXT] [--users COUNT,SEED | --users-file PATH] [--log KEY=VALUE]
               [--search ADDR | --no-search] [--fault NAME[=VALUE]]... [--punch-every MS]
               [--version] [--help]

Plays one terminal on a UDP port, a TCP port, a USB drive directory, or several
of them, until interrupted (Ctrl-C).

  --udp ADDR:PORT     where to listen on UDP (default 127.0.0.1:4370; port 0 picks one)
  --tcp ADDR:PORT     accept TCP connections there too, or only there without --udp
                      (port 0 picks one); packets travel in 8-byte frames
  --usb DIR           serve DIR/dummy (created with 1536 zero bytes when missing) as
                      the file of a terminal attached by USB: requests addressed to
                      its "DeviceID" (default 1) are answered there; only there
                      without --udp. Hosts find it with TERMKIT_USB_ROOTS=DIR
  --profile NAME|FILE a built-in terminal or a profile file (see PROFILES)
  --demo              the demo terminal: a ver660 terminal with 36 users, two
                      months of punches and a few operation records (the data
                      termctl shows without an address); while a host is
                      registered for events, one of its users punches every
                      3 seconds
  --punch-every MS    while a host is registered for attendance events, a user
                      punches every MS ms (0: nobody): the record joins
                      the attendance log at the terminal's clock and an
                      attendance event (kind 1, 32 bytes: user number text 24,
                      verify mode, state, year-2000, month, day, hour, minute,
                      second) goes to the registered hosts
  --data FILE         the terminal's options, users, logs and templates from a file
                      (see DATA FILES)
  --option NAME=VALUE sets one of the terminal's options ("~Platform=ZEM560_TFT")
  --set KEY=VALUE     one profile setting, as in a profile file ("pin_width=9")
  --password N        comm password the terminal demands (default none)
  --firmware TEXT     firmware version text (default "Ver 6.60 Oct 26 2009")
  --users COUNT,SEED  a user table of COUNT generated users (the same SEED, the same users)
  --users-file PATH   the user table from a user file (one user per line, see README)
  --log KEY=VALUE     the terminal's logs: file=PATH, generate=USERS,PUNCHES,DAYS,SEED,
                      generate_oplog=COUNT,DAYS,SEED, attlog_layout=NAME, oplog_layout=NAME
  --search ADDR       answer device searches on ADDR:65535 (default: the --udp address,
                      or the --tcp address without --udp)
  --no-search         do not answer device searches
  --fault NAME[=VALUE] make the terminal misbehave (see FAULTS); repeatable

Flags apply in the order given: a --profile or --demo replaces the profile
settings before it, and later users and logs replace earlier ones.

PROFILES
  Built in: old     firmware "Ver 4.52 Mar 15 2006": no option probe, no
                    PIN-width, device-status or device-firmware command, no "~OS"
            ver660  "Ver 6.60 Oct 26 2009", platform ZEM510, extended record
                    layouts, PIN width 9
            tft     colour screen: platform ZEM560_TFT, faces, ID-text users
  A profile file holds one KEY = VALUE setting per line ('#' starts a comment);
  --set takes the same settings:
    base = old|ver660|tft            start from a built-in profile
    firmware = TEXT                  answer to command 1100
    device_firmware = TEXT           answer to command 10019
    option.NAME = VALUE              one option, e.g. option.~Platform = ZEM560_TFT
    password = N                     comm password (0: none)
    pin_width = N                    answer to command 69
    device_status = N                "~DeviceStatus" in the answer to command 2998
    door_state = N                   answer to command 75
    machine_state = N                answer to command 64
    clock = YYYY-MM-DD hh:mm:ss      the terminal's clock
    clock_runs = 0|1                 the clock stands still unless 1
    storage.WORD = N                 a storage counter of command 50 (word 0-24)
    option_probe = values|unknown|error|empty|garbage   how command 501 answers
    unknown_commands = A,B,...       commands answered CMD_ACK_UNKNOWN
    refused_commands = A,B,...       commands answered CMD_ACK_ERROR
    mac = XX:XX:XX:XX:XX:XX          what a device search reports
    search_ip = ADDR                 (default: the --udp address)
    search_answer = TEXT             replaces the whole search answer
    piecewise_templates = 0|1        serve fingerprint templates piecewise (2221, 2017)
    batch_ops = pin|id_text          template operations of a batch package: 8 bytes by
                                     PIN (default) or 30 bytes by ID text
    max_packet = N                   largest packet sent over TCP, header included (9-65544;
                                     0: 65544, 512 for "~Platform" AK3750, 4000 for 3750WIFI)

DATA FILES
  One file in sections; '#' starts a comment line:
    [options]      NAME=VALUE per line
    [users]        one user per line, tab-separated key=value fields as in a
                   user file (pin, pin2, id, name, password, privilege, card, ...;
                   slots=A,B,C,D: the four time-slot words attendance reads)
    [attendance]   USER,USER_ID,VERIFY,STATE,YYYY-MM-DD hh:mm:ss[,WORK_CODE[,TEXT[,RESERVED]]]
    [oplog]        ADMIN,ADMIN_ID,OPERATION,YYYY-MM-DD hh:mm:ss[,P1,P2,P3,P4[,ID2[,TEXT]]]
    [templates]    one fingerprint template per line: pin=N, finger=N, flag=N and
                   data=HEX, tab-separated
    [attrule]      the attendance rule, NAME=VALUE per field (title, dup_minutes,
                   late_grace_min, early_grace_min, workday_min, cross_day,
                   late_unit, ...), read with command 35
    [departments]  number=N, name=TEXT, tab-separated (command 36)
    [timeslots]    number=N, name=TEXT, start=HH:MM, end=HH:MM (command 37)
  The small tables, tab-separated key=value fields, one entry per line:
    [workcodes]    index=N, code=N (plain); or code=TEXT, name=TEXT (colour
                   screens: text and extended forms, IDs from 1)
    [shortkeys]    number=N, function=F, state=S, times=H:M;... (seven
                   weekdays), auto=0|1, values=A,B,C,D
    [bells]        number=N, time=HH:MM, kind=B (the second byte value)
    [tipcodes]     number=N, name=TEXT, value=V
    [laborgroups]  number=N, name=TEXT, value=V
    [laborcodes]   number=N, second=M, name=TEXT
    [attstates]    state=0-7, value=0-127, enabled=0|1
    [voices]       index=0-20, file=NAME, enabled=0|1
    [statemap]     key=K, value=V
  Faces and access-control data, tab-separated key=value fields:
    [faces]        pin=N, index=I, data=HEX (template bytes), version=8
    [timezones]    zone=1-50, text=HHMMhhmm x 7 (the 56-digit text)
    [groups]       group=0-99, zones=A,B,C, mode=M (list form); fixed=A,B,C,
                   flag=0|1, number=0-127 (fixed form)
    [holidays]     number=1-99, dates=MMDDmmdd, zone=Z
    [locks]        unlock=TEXT; or combination=0-10, groups=A,B,C,D,E
    [messages]     number=N, text=TEXT, tag=T, minutes=M,
                   start=YYYY-MM-DD hh:mm:ss, users=PIN,... (linked users)
  A user line may carry valid=V1,V2,START,END (moments as YYYY-MM-DD hh:mm:ss),
  the user's validity period.
  Files and photos, tab-separated, paths relative to the data file:
    [files]        name=NAME, path=PATH: a file command 1702 reads back
    [photos]       name=NAME, time=YYYY-MM-DD hh:mm:ss, selector=N, path=PATH:
                   an attendance photo (2013-2016, 10012/10013)
  Uploads (110 by kind, 10009/10026/10027), language texts (1701), firmware
  (an image starting "Ver ..." answers 1100 from the next connection), file
  updates (1709 + 110 kind 13) and backups (51, 7, 111; restore by 14 and
  110 kind 7) are kept while the simulator runs.
  A section given, even empty, replaces what the terminal held; the storage
  counters follow. termsim/data/example.data and attendance.data are examples.

FAULTS
  Counted faults affect the next N replies from the start (a bare NAME is 1):
    drop[=N]         swallow N replies
    duplicate[=N]    send N replies twice
    late[=N]         delay N replies by late_ms
    late_ms=MS       the delay of a late reply (default 2000)
    corrupt[=N]      N replies carry a wrong checksum
    stale[=N]        N replies carry an older sequence number
    retry[=N]        answer N commands CMD_ACK_RETRY
  Standing faults:
    silent           answer nothing at all
    drop_ratio=R     drop each reply with probability R (0 to 1)
    seed=N           seed for drop_ratio (default 1)
    short_reply=CMD:N  answer command CMD with CMD_ACK_OK and only the first N
                     payload bytes of its answer (zeros where it was shorter)
    unanswered=CMD   take command CMD and never answer it
    event_every=MS   push an event packet every MS ms to the last host, even
                     unregistered and while silent
  Faults of bulk transfers:
    prepare_no_data  answer memory reads and large blocks with CMD_PREPARE_DATA,
                     then send nothing
    piecewise_count=N  answer a piecewise read's count with N
    empty_blocks     serve every range of a piecewise read as an empty block
  Faults of the TCP stream (the counted ones count from the start; each cut
  happens once, and the request that falls due is not carried out):
    tcp_close[=N]    close the connection after the Nth request, unanswered
    tcp_reset[=N]    reset the connection (RST) after the Nth request, unanswered
    tcp_reset_data[=N] reset after the Nth data packet sent (cuts a download)
    tcp_split=B      write frames B bytes at a time, pausing between the pieces
    tcp_split_pause_ms=MS  the pause between pieces (default 2)
    tcp_coalesce     several frames per write: a reply with its data packets,
                     an event with the next reply (or alone after 100 ms)
    tcp_bad_magic[=N] the next N frames go out with a wrong magic
    tcp_oversize[=N] the next N frames announce a length of 0x00100000
    tcp_refuse       listen on no TCP port and drop every connection
  Faults of the USB drive file (counted in blocks the terminal writes):
    usb_bad_mark[=N] the end mark after the packet is 0x00
    usb_long_length[=N] the length field says 1530
    usb_zero_code[=N] the packet's code word is 0
    usb_torn[=N]     a block written in two halves, usb_torn_pause_ms (100) apart
    usb_chunk_ms=MS  stream chunks and large-block data one per MS (default 600,
                     above the host's idle poll of about 450 ms)

Exit status: 0 after an interrupt, 1 when a port or the drive file cannot be
opened, 2 for bad arguments or files.
)";
}

}  // namespace termsim_cli
