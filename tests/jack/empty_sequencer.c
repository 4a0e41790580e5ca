/* An empty ALSA sequencer for Qtractor on a machine without one.
 *
 * Qtractor will not start a session unless its MIDI engine opens the ALSA sequencer
 * (/dev/snd/seq), which a kernel built without sound support (no CONFIG_SND, as in many virtual
 * machines and containers) cannot provide. Preloaded into Qtractor, this answers every
 * sequencer call Qtractor 0.9.31 makes on a sequencer handle as a sequencer with no other
 * clients and no events would: opening, naming, ports, queues and subscriptions succeed, queries
 * find nothing, input never arrives and output goes nowhere. Calls on info records (the
 * _sizeof, _get_ and _set_ ones) stay libasound's own; audio is JACK's, untouched by any of this.
 *
 * Built by scripts/jack-check.sh: cc -shared -fPIC -o empty_sequencer.so empty_sequencer.c
 */
#include <errno.h>
#include <poll.h>
#include <stddef.h>
#include <unistd.h>

/* The handle is never looked into: every call that takes it is answered here. */
static int handle;
/* A pipe nobody writes: Qtractor's input thread polls it and sees nothing, as on a quiet
 * sequencer. */
static int quiet[2] = {-1, -1};
static int next_port;

int snd_seq_open(void** seq, const char* name, int streams, int mode)
{
    (void)name;
    (void)streams;
    (void)mode;
    if (quiet[0] < 0 && pipe(quiet) != 0) {
        return -errno;
    }
    *seq = &handle;
    return 0;
}

int snd_seq_close(void* seq)
{
    (void)seq;
    return 0;
}

int snd_seq_client_id(void* seq)
{
    (void)seq;
    return 128; /* the first number the kernel gives to an application */
}

int snd_seq_set_client_name(void* seq, const char* name)
{
    (void)seq;
    (void)name;
    return 0;
}

int snd_seq_poll_descriptors_count(void* seq, short events)
{
    (void)seq;
    (void)events;
    return 1;
}

int snd_seq_poll_descriptors(void* seq, struct pollfd* pfds, unsigned int space, short events)
{
    (void)seq;
    if (space < 1) {
        return 0;
    }
    pfds[0].fd = quiet[0];
    pfds[0].events = events;
    pfds[0].revents = 0;
    return 1;
}

int snd_seq_create_simple_port(void* seq, const char* name, unsigned int caps, unsigned int type)
{
    (void)seq;
    (void)name;
    (void)caps;
    (void)type;
    return next_port++;
}

int snd_seq_delete_simple_port(void* seq, int port)
{
    (void)seq;
    (void)port;
    return 0;
}

int snd_seq_get_port_info(void* seq, int port, void* info)
{
    (void)seq;
    (void)port;
    (void)info;
    return 0;
}

int snd_seq_set_port_info(void* seq, int port, void* info)
{
    (void)seq;
    (void)port;
    (void)info;
    return 0;
}

int snd_seq_get_any_client_info(void* seq, int client, void* info)
{
    (void)seq;
    (void)client;
    (void)info;
    return -ENOENT;
}

int snd_seq_get_any_port_info(void* seq, int client, int port, void* info)
{
    (void)seq;
    (void)client;
    (void)port;
    (void)info;
    return -ENOENT;
}

int snd_seq_query_next_client(void* seq, void* info)
{
    (void)seq;
    (void)info;
    return -ENOENT;
}

int snd_seq_query_next_port(void* seq, void* info)
{
    (void)seq;
    (void)info;
    return -ENOENT;
}

int snd_seq_query_port_subscribers(void* seq, void* subscribers)
{
    (void)seq;
    (void)subscribers;
    return -ENOENT;
}

int snd_seq_subscribe_port(void* seq, void* subscription)
{
    (void)seq;
    (void)subscription;
    return 0;
}

int snd_seq_unsubscribe_port(void* seq, void* subscription)
{
    (void)seq;
    (void)subscription;
    return 0;
}

int snd_seq_alloc_queue(void* seq)
{
    (void)seq;
    return 0;
}

int snd_seq_free_queue(void* seq, int queue)
{
    (void)seq;
    (void)queue;
    return 0;
}

int snd_seq_control_queue(void* seq, int queue, int type, int value, void* event)
{
    (void)seq;
    (void)queue;
    (void)type;
    (void)value;
    (void)event;
    return 0;
}

int snd_seq_get_queue_status(void* seq, int queue, void* status)
{
    (void)seq;
    (void)queue;
    (void)status;
    return 0;
}

int snd_seq_get_queue_tempo(void* seq, int queue, void* tempo)
{
    (void)seq;
    (void)queue;
    (void)tempo;
    return 0;
}

int snd_seq_set_queue_tempo(void* seq, int queue, void* tempo)
{
    (void)seq;
    (void)queue;
    (void)tempo;
    return 0;
}

int snd_seq_set_queue_timer(void* seq, int queue, void* timer)
{
    (void)seq;
    (void)queue;
    (void)timer;
    return 0;
}

int snd_seq_event_output(void* seq, void* event)
{
    (void)seq;
    (void)event;
    return 0;
}

int snd_seq_event_output_direct(void* seq, void* event)
{
    (void)seq;
    (void)event;
    return 0;
}

int snd_seq_drain_output(void* seq)
{
    (void)seq;
    return 0;
}

int snd_seq_drop_output(void* seq)
{
    (void)seq;
    return 0;
}

int snd_seq_drop_input(void* seq)
{
    (void)seq;
    return 0;
}

int snd_seq_event_input(void* seq, void** event)
{
    (void)seq;
    *event = NULL;
    return -EAGAIN;
}

int snd_seq_event_input_pending(void* seq, int fetch)
{
    (void)seq;
    (void)fetch;
    return 0;
}

int snd_seq_remove_events(void* seq, void* condition)
{
    (void)seq;
    (void)condition;
    return 0;
}
