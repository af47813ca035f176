// A page server inside a test process, on a loopback port the system picks: each connection is
// handed to `answer` on a thread of its own, which closes it.
#pragma once

#include <winsock2.h>

#include <string>
#include <thread>

// Returns the server's root address, "http://127.0.0.1:<port>/".
inline std::string ServeLoopback(void (*answer)(SOCKET client)) {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    const SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof address;
    bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size);
    listen(listener, SOMAXCONN);
    std::thread([listener, answer] {
        for (SOCKET client; (client = accept(listener, nullptr, nullptr)) != INVALID_SOCKET;)
            std::thread(answer, client).detach();
    }).detach();
    return "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/";
}
