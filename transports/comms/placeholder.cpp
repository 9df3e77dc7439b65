namespace comms {}
