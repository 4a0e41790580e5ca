// An empty ALSA sequencer for Qtractor on a machine without one.
//
// Qtractor will not start a session unless its MIDI engine opens the ALSA sequencer
// (/dev/snd/seq), which a kernel built without sound support (no CONFIG_SND, as in many virtual
// machines and containers) cannot provide. Preloaded into Qtractor, this answers every
// sequencer call Qtractor 0.9.31 makes on a sequencer handle as a sequencer with no other
// clients and no events would: opening, naming, ports, queues and subscriptions succeed, queries
// find nothing, input never arrives and output goes nowhere. Calls on info records (the
// _sizeof, _get_ and _set_ ones) stay libasound's own; audio is JACK's, untouched by any of this.
//
// Built by scripts/jack-check.sh: c++ -std=c++20 -shared -fPIC -o empty_sequencer.so
// empty_sequencer.cpp
#include <cerrno>
#include <poll.h>
#include <unistd.h>

namespace {

// The handle is never looked into: every call that takes it is answered here.
int handle;
// A pipe nobody writes: Qtractor's input thread polls it and sees nothing, as on a quiet
// sequencer.
int quiet[2] = {-1, -1};
int nextPort;

} // namespace

extern "C" {

int snd_seq_open(void** seq, const char*, int, int)
{
    if (quiet[0] < 0 && pipe(quiet) != 0) {
        return -errno;
    }
    *seq = &handle;
    return 0;
}

int snd_seq_client_id(void*)
{
    return 128; // the first number the kernel gives to an application
}

int snd_seq_poll_descriptors_count(void*, short)
{
    return 1;
}

int snd_seq_poll_descriptors(void*, pollfd* pfds, unsigned int space, short events)
{
    if (space < 1) {
        return 0;
    }
    pfds[0] = {quiet[0], events, 0};
    return 1;
}

int snd_seq_create_simple_port(void*, const char*, unsigned int, unsigned int)
{
    return nextPort++;
}

int snd_seq_event_input(void*, void** event)
{
    *event = nullptr;
    return -EAGAIN;
}

// Queries: there is nobody else.
int snd_seq_get_any_client_info(void*, int, void*)
{
    return -ENOENT;
}

int snd_seq_get_any_port_info(void*, int, int, void*)
{
    return -ENOENT;
}

int snd_seq_query_next_client(void*, void*)
{
    return -ENOENT;
}

int snd_seq_query_next_port(void*, void*)
{
    return -ENOENT;
}

int snd_seq_query_port_subscribers(void*, void*)
{
    return -ENOENT;
}

// Everything else succeeds and changes nothing.
int snd_seq_close(void*)
{
    return 0;
}

int snd_seq_set_client_name(void*, const char*)
{
    return 0;
}

int snd_seq_delete_simple_port(void*, int)
{
    return 0;
}

int snd_seq_get_port_info(void*, int, void*)
{
    return 0;
}

int snd_seq_set_port_info(void*, int, void*)
{
    return 0;
}

int snd_seq_subscribe_port(void*, void*)
{
    return 0;
}

int snd_seq_unsubscribe_port(void*, void*)
{
    return 0;
}

int snd_seq_alloc_queue(void*)
{
    return 0;
}

int snd_seq_free_queue(void*, int)
{
    return 0;
}

int snd_seq_control_queue(void*, int, int, int, void*)
{
    return 0;
}

int snd_seq_get_queue_status(void*, int, void*)
{
    return 0;
}

int snd_seq_get_queue_tempo(void*, int, void*)
{
    return 0;
}

int snd_seq_set_queue_tempo(void*, int, void*)
{
    return 0;
}

int snd_seq_set_queue_timer(void*, int, void*)
{
    return 0;
}

int snd_seq_event_output(void*, void*)
{
    return 0;
}

int snd_seq_event_output_direct(void*, void*)
{
    return 0;
}

int snd_seq_drain_output(void*)
{
    return 0;
}

int snd_seq_drop_output(void*)
{
    return 0;
}

int snd_seq_drop_input(void*)
{
    return 0;
}

int snd_seq_event_input_pending(void*, int)
{
    return 0;
}

int snd_seq_remove_events(void*, void*)
{
    return 0;
}

} // extern "C"
