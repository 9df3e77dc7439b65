# A terminal with firmware older than "Ver 5.04": no option probe, no
# PIN-width, device-status or device-firmware command, and no "~OS" option,
# so hosts send the values of its '~' options scrambled.
firmware = Ver 4.52 Mar 15 2006
unknown_commands = 501,69,2998,10019
pin_width = 5
mac = 00:17:61:01:04:52

option.~Platform = ZEM100
option.~DeviceName = F4
option.~SerialNumber = 0000123456
option.~OEMVendor = Sundial Works
option.~RFCardOn = 0
option.~LockFunOn = 1
option.~IsOnlyRFMachine = 0
option.DeviceID = 1
option.UDPPort = 4370
option.TCPPort = 4370
option.IPAddress = 192.168.1.201
option.Language = 69
option.NewLng = 69
option.MThreshold = 55
option.EThreshold = 45
option.VThreshold = 35
option.RS232BaudRate = 115200
option.LockOn = 150
option.IdleMinute = 0
option.VoiceOn = 1
option.WiegandFmt = 26
