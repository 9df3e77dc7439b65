# A black-and-white fingerprint terminal, firmware "Ver 6.60 Oct 26 2009",
# with the extended attendance and operation-log layouts and 9-digit user
# numbers.
firmware = Ver 6.60 Oct 26 2009
pin_width = 9
mac = 00:17:61:06:60:01

option.~OS = 1
option.~ExtendFmt = 1
option.ExtendOPLog = 1
option.~Platform = ZEM510
option.~QXFPVersion = 10
option.~DeviceName = B3-C
option.~SerialNumber = 3512009110023
option.~PIN2Width = 9
option.~UserExtFmt = 1
option.~SSR = 0
option.WorkCode = 0
option.BuildVersion = 20091026
option.CompatOldFirmware = 0
option.~OEMVendor = Sundial Works
option.~RFCardOn = 1
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
