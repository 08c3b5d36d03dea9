#pragma once

// Ends the process once main()'s own objects are gone (the application,
// its windows, Qt's application object): flushes the standard streams and
// exits without running the libraries' static destructors.
//
// Qt Multimedia (6.4) closes its connection to the audio server in one of
// those destructors without taking the lock its own event thread holds: an
// audio server event that arrives as the program ends (another program's
// sound starting or stopping, a device suspended or resumed) makes that
// thread use the connection being torn down, and libpulse aborts. Nothing
// of ours is left for the static destructors to do. Under the leak
// sanitizer, its check runs here, as it would have at exit.
namespace ProcessEnd {

[[noreturn]] void now(int status);

} // namespace ProcessEnd
