"""The local forum: pages, server, demo life and the client that steers it (tools/forum_server.py
runs it)."""
