<?php
// SPDX-FileCopyrightText: 2026 sitepass developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Random values over the characters .env parsers treat specially go through config laravel's
// quoting (dotenv_lines) and are read back by phpdotenv and Symfony's Dotenv, with
// symfony/process loaded so that a command in a value would run. Each value must come back
// exactly from both, every other line unchanged, or be refused; only values with a "'" may be
// refused. Usage: php dotenv_property.php PATH/TO/dotenv_lines COUNT [SEED]
require '/usr/share/php/Dotenv/autoload.php';
require '/usr/share/php/Symfony/Component/Dotenv/autoload.php';
require '/usr/share/php/Symfony/Component/Process/autoload.php';

[, $helper, $count] = $argv;
$seed = (int)($argv[3] ?? random_int(1, PHP_INT_MAX));
mt_srand($seed);
$marker = sys_get_temp_dir() . '/sitepass-dotenv-' . getmypid();
$pieces = ["'", '"', '\\', '$', '#', '=', ' ', 'n', 'r', '{', '}', '(', ')', ':', '-', '_',
           'a', 'Z', 'HOME', '中', '文', "\$(touch $marker)"];
$values = [];
for ($i = 0; $i < $count; $i++) {
    $value = '';
    for ($n = mt_rand(1, 14); $n > 0; $n--)
        $value .= $pieces[mt_rand(0, count($pieces) - 1)];
    $values[] = $value;
}

$pipes = [];
$process = proc_open([$helper], [['pipe', 'r'], ['pipe', 'w'], STDERR], $pipes);
fwrite($pipes[0], json_encode($values));
fclose($pipes[0]);
$texts = json_decode(stream_get_contents($pipes[1]), true);
if (proc_close($process) !== 0 || count($texts) !== count($values)) {
    fwrite(STDERR, "dotenv_lines failed\n");
    exit(1);
}

$expected = ['APP_URL' => 'http://example.com', 'DB_CONNECTION' => 'mysql', 'DB_HOST' => null,
             'DB_PORT' => '3306', 'DB_DATABASE' => 'site_db', 'DB_USERNAME' => 'site_u',
             'DB_PASSWORD' => null];
$failures = $refused = 0;
foreach ($values as $i => $value) {
    if ($texts[$i] === null) {
        $refused++;
        if (strpos($value, "'") === false) {
            fprintf(STDERR, "refused without a quote: %s\n", json_encode($value));
            $failures++;
        }
        continue;
    }
    $want = array_merge($expected, ['DB_HOST' => $value, 'DB_PASSWORD' => $value]);
    foreach (['phpdotenv' => fn($t) => Dotenv\Dotenv::parse($t),
              'symfony' => fn($t) => (new Symfony\Component\Dotenv\Dotenv())->parse($t)] as $name => $parse) {
        try {
            $read = $parse($texts[$i]);
        } catch (Throwable $e) {
            $read = get_class($e) . ': ' . $e->getMessage();
        }
        if ($read !== $want) {
            fprintf(STDERR, "%s misread %s from\n%s  as %s\n", $name, json_encode($value),
                    $texts[$i], json_encode($read));
            if (++$failures > 10)
                break 2;
        }
    }
}
if (file_exists($marker)) {
    unlink($marker);
    fwrite(STDERR, "a command in a value ran\n");
    $failures++;
}
printf("%d values (seed %d): %d refused, %d misread\n", count($values), $seed, $refused, $failures);
exit($failures === 0 ? 0 : 1);
