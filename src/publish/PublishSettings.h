// SPDX-License-Identifier: GPL-3.0-or-later
// The settings of the outputs, as the station's configuration gives them.
#pragma once

#include <QString>

namespace vandrel::publish {

struct MqttSettings {
    bool enabled = false;
    QString host;
    int port = 0; // 0: 1883, or 8883 with TLS
    QString clientId;           // empty: "vandrel-station-<host name>"
    int protocol = 4;           // 4: MQTT 3.1.1, 5: MQTT 5
    QString username;
    QString password;           // given in the file, or read from passwordFile
    QString passwordFile;
    QString prefix = QStringLiteral("vandrel");
    bool discovery = true;
    QString discoveryPrefix = QStringLiteral("homeassistant");
    int keepAlive = 60;         // seconds
    QString caFile, certFile, keyFile; // a CA file turns TLS on
    // Rows of one meter in flight before they are confirmed: small enough that
    // a backlog of many meters stays inside a broker's default queue of 1,000
    // messages for a subscriber that falls behind.
    int batch = 100;

    bool tls() const { return !caFile.isEmpty(); }
    int effectivePort() const { return port != 0 ? port : tls() ? 8883 : 1883; }
    bool operator==(const MqttSettings &) const = default;
};

struct InfluxSettings {
    bool enabled = false;
    QString url = QStringLiteral("http://127.0.0.1:8086");
    // 1.x: /write with a database, an optional retention policy and user.
    QString database, retentionPolicy, username, password, passwordFile;
    // 2.x: /api/v2/write with an organisation, a bucket and a token.
    QString org, bucket, token, tokenFile;
    int batch = 5000; // points per request, at most 5000
    QString timeZone; // of the meters' clocks; empty: UTC

    bool version2() const { return !bucket.isEmpty(); }
    bool operator==(const InfluxSettings &) const = default;
};

// The first line of a secret's file, without its line end; empty with
// `error` set when it cannot be read.
QString readSecretFile(const QString &path, QString &error);

} // namespace vandrel::publish
