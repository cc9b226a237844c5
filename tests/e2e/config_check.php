<?php
// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Reads sitepass-cli config output with the parsers applications use, compares every value with
// the profile byte for byte, and logs in with what it read through PDO.
// Usage: php config_check.php FORMAT SETTINGS PROFILE.json SOCKET
// (SOCKET: MariaDB's socket file, or PostgreSQL's socket directory, in place of the host)
require '/usr/share/php/Dotenv/autoload.php';
require '/usr/share/php/Symfony/Component/Dotenv/autoload.php';

[, $format, $settings, $profileFile, $socket] = $argv;
$profile = json_decode(file_get_contents($profileFile), true);
$failures = 0;
function same(string $what, $read, $expected): void
{
    global $failures;
    if ($read !== $expected) {
        fprintf(STDERR, "%s: read %s, expected %s\n", $what, json_encode($read), json_encode($expected));
        $failures++;
    }
}

if ($format === 'laravel') {
    $text = file_get_contents($settings);
    $readers = [
        'phpdotenv' => Dotenv\Dotenv::parse($text),
        'symfony' => (new Symfony\Component\Dotenv\Dotenv())->parse($text),
    ];
    foreach ($readers as $name => $env) {
        same("$name DB_DATABASE", $env['DB_DATABASE'], $profile['db_table']);
        same("$name DB_USERNAME", $env['DB_USERNAME'], $profile['db_user']);
        same("$name DB_PASSWORD", $env['DB_PASSWORD'], $profile['db_password']);
        same("$name APP_URL", $env['APP_URL'], $profile['site_url']);
        same("$name DB_HOST", $env['DB_HOST'], 'localhost');
    }
    $env = $readers['phpdotenv'];
    $c = ['driver' => $env['DB_CONNECTION'], 'database' => $env['DB_DATABASE'],
          'username' => $env['DB_USERNAME'], 'password' => $env['DB_PASSWORD']];
} elseif ($format === 'wordpress') {
    // As WordPress reads it: the file loads wp-settings.php from ABSPATH, which an includer may
    // set first (here to a stand-in).
    define('ABSPATH', __DIR__ . '/wordpress/');
    include $settings;
    same('wp-settings.php loaded with the table prefix', $GLOBALS['wp_settings_loaded'] ?? null, 'wp_');
    same('DB_NAME', DB_NAME, $profile['db_table']);
    same('DB_USER', DB_USER, $profile['db_user']);
    same('DB_PASSWORD', DB_PASSWORD, $profile['db_password']);
    same('DB_HOST', DB_HOST, 'localhost');
    same('DB_CHARSET', DB_CHARSET, 'utf8mb4');
    same('DB_COLLATE', DB_COLLATE, '');
    $alphabet = 'abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789!@#$%^&*()-_ []{}<>~`+=,.;:/?|';
    $keys = [];
    foreach (['AUTH_KEY', 'SECURE_AUTH_KEY', 'LOGGED_IN_KEY', 'NONCE_KEY',
              'AUTH_SALT', 'SECURE_AUTH_SALT', 'LOGGED_IN_SALT', 'NONCE_SALT'] as $key) {
        $value = constant($key);
        same("$key length", strlen($value), 64);
        same("$key alphabet", strspn($value, $alphabet), 64);
        $keys[] = $value;
    }
    same('distinct keys', count(array_unique($keys)), 8);
    $c = ['driver' => 'mysql', 'database' => DB_NAME, 'username' => DB_USER, 'password' => DB_PASSWORD];
} else {
    $c = include $settings;
    same('database', $c['database'], $profile['db_table']);
    same('username', $c['username'], $profile['db_user']);
    same('password', $c['password'], $profile['db_password']);
    same('host', $c['host'], 'localhost');
}

// The whole path: the account sql made logs in with what the application read.
$dsn = $c['driver'] === 'pgsql'
    ? "pgsql:host=$socket;dbname={$c['database']}"
    : "mysql:unix_socket=$socket;dbname={$c['database']}";
try {
    $pdo = new PDO($dsn, $c['username'], $c['password'], [PDO::ATTR_ERRMODE => PDO::ERRMODE_EXCEPTION]);
    $pdo->exec('CREATE TABLE from_php (i INT)');
    $pdo->exec('DROP TABLE from_php');
} catch (PDOException $e) {
    fprintf(STDERR, "PDO: %s\n", $e->getMessage());
    $failures++;
}
exit($failures === 0 ? 0 : 1);
