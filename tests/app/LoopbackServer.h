// A page server inside a test process, on a loopback port the system picks. It answers
// GET /<status>/<silence ms>/<id>[/anything]: the headers and the first half of `servedPage`,
// then, after the silence or once the client hangs up, the rest. A 302 sends the client on to a
// 200 of the same id.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <iterator>
#include <string>
#include <thread>

inline std::string servedPage(4096, 'x');  // set before the request that is to get it
inline std::atomic<DWORD> arrived[64];     // tick at which the server had each request, by id

inline void AnswerRequest(SOCKET client) {
    char request[1024] = {};
    recv(client, request, sizeof request - 1, 0);
    int status = 0, id = 0;
    DWORD silence = 0;
    std::sscanf(request, "GET /%d/%lu/%d", &status, &silence, &id);
    arrived[id % std::size(arrived)] = GetTickCount();
    const size_t half = servedPage.size() / 2;
    const std::string head =
        "HTTP/1.1 " + std::to_string(status) + " Test\r\n" +
        (status == 302 ? "Location: /200/0/" + std::to_string(id) + "\r\n" : "") +
        "Content-Length: " + std::to_string(servedPage.size()) + "\r\nConnection: close\r\n\r\n" +
        servedPage.substr(0, half);
    send(client, head.data(), static_cast<int>(head.size()), 0);
    if (silence) {  // a receive ends at the timeout or when the client hangs up
        setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<char*>(&silence),
                   sizeof silence);
        recv(client, request, sizeof request, 0);
    }
    send(client, servedPage.data() + half, static_cast<int>(servedPage.size() - half), 0);
    closesocket(client);
}

// Returns the server's root address, "http://127.0.0.1:<port>/".
inline std::string ServeLoopback() {
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
    std::thread([listener] {
        for (SOCKET client; (client = accept(listener, nullptr, nullptr)) != INVALID_SOCKET;)
            std::thread(AnswerRequest, client).detach();
    }).detach();
    return "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/";
}
