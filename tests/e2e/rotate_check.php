<?php
// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Reads a site's settings file as the application would (phpdotenv and Symfony's Dotenv for a
// .env, which must agree; PHP itself for the others) and logs in to its database with them.
// Prints "logged in" or "refused: ..." and, after a tab, the password it read.
// Usage: php rotate_check.php laravel|wordpress|php FILE
require '/usr/share/php/Dotenv/autoload.php';
require '/usr/share/php/Symfony/Component/Dotenv/autoload.php';

[, $format, $file] = $argv;
if ($format === 'laravel') {
    $text = file_get_contents($file);
    $env = Dotenv\Dotenv::parse($text);
    $symfony = (new Symfony\Component\Dotenv\Dotenv())->parse($text);
    foreach (['DB_CONNECTION', 'DB_HOST', 'DB_PORT', 'DB_DATABASE', 'DB_USERNAME', 'DB_PASSWORD'] as $key) {
        if (($env[$key] ?? null) !== ($symfony[$key] ?? null)) {
            printf("parsers disagree on %s\n", $key);
            exit(1);
        }
    }
    $c = ['driver' => $env['DB_CONNECTION'], 'host' => $env['DB_HOST'], 'port' => $env['DB_PORT'] ?? '',
          'database' => $env['DB_DATABASE'], 'username' => $env['DB_USERNAME'], 'password' => $env['DB_PASSWORD'],
          'socket' => $env['DB_SOCKET'] ?? ''];
} elseif ($format === 'wordpress') {
    define('ABSPATH', __DIR__ . '/wordpress/'); // the file loads WordPress from there last
    include $file;
    [$host, $port] = array_pad(explode(':', DB_HOST, 2), 2, '');
    $c = ['driver' => 'mysql', 'host' => $host, 'port' => $port, 'database' => DB_NAME,
          'username' => DB_USER, 'password' => DB_PASSWORD];
} else {
    $c = include $file;
}
$dsn = $c['driver'] === 'pgsql'
    ? "pgsql:host={$c['host']};dbname={$c['database']}" . ($c['port'] ? ";port={$c['port']}" : '')
    : (($c['socket'] ?? '') !== '' // as Laravel's MySQL connector: the socket over the host
        ? "mysql:unix_socket={$c['socket']};dbname={$c['database']}"
        : "mysql:host={$c['host']};port={$c['port']};dbname={$c['database']}");
try {
    new PDO($dsn, $c['username'], $c['password'], [PDO::ATTR_ERRMODE => PDO::ERRMODE_EXCEPTION]);
    echo "logged in\t", $c['password'], "\n";
} catch (PDOException $e) {
    echo 'refused: ', $e->getMessage(), "\t", $c['password'], "\n";
}
