#pragma once
// The cheapest HTTP exchange the program could make: a tiny request and a tiny
// reply over 127.0.0.1 on a new connection, against a server thread in this
// process that does no work. The floor under the service's round trip.

#include "bench/loopback_socket.h"

// Answers every request on 127.0.0.1 with a fixed empty result and closes the
// connection. Malformed requests, cut-off clients and slow clients (over 2 s)
// are dropped; the thread stops when the server goes.
class EmptyHttpServer {
public:
    EmptyHttpServer();
    EmptyHttpServer(const EmptyHttpServer&) = delete;
    EmptyHttpServer& operator=(const EmptyHttpServer&) = delete;

    // The port it listens on, or -1 when it could not listen.
    int port() const { return acceptor_.port(); }

private:
    LoopbackAcceptor acceptor_;
};

// One exchange from the program's side (QTcpSocket on the event loop): from
// connecting to the whole reply read, in milliseconds; -1 on failure.
double timeEmptyRoundTrip(int port);
