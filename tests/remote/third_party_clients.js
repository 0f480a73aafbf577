// Signs in to the shell's remote console with three RCON clients from npm,
// runs one command with each and compares the reply with the expected one;
// then offers a wrong password to one of them, which must be refused.
//
// Usage: node third_party_clients.js HOST PORT COMMAND EXPECTED_LINE
// The reply expected is the one line EXPECTED_LINE and its line end.
// The password comes from VELMOR_RCON_PASSWORD; the wrong one from
// VELMOR_RCON_WRONG_PASSWORD. Prints one line per check, "<check>: ok" or
// "<check>: <what went wrong>", and exits 0 when every check passed.
'use strict';

const { Rcon: RconClient } = require('rcon-client');
const RconSrcds = require('rcon-srcds').default;
const NodeRcon = require('rcon');

const [host, portText, command, expectedLine] = process.argv.slice(2);
const expected = expectedLine + '\n';
const port = Number(portText);
const password = process.env.VELMOR_RCON_PASSWORD;
const wrongPassword = process.env.VELMOR_RCON_WRONG_PASSWORD;

function withTimeout(promise, what) {
    let timer;
    const timeout = new Promise((_, reject) => {
        timer = setTimeout(() => reject(new Error(`${what}: no answer within 20 s`)), 20000);
    });
    return Promise.race([promise, timeout]).finally(() => clearTimeout(timer));
}

async function viaRconSrcds() {
    const client = new RconSrcds({ host, port, timeout: 20000 });
    await client.authenticate(password);
    const reply = await client.execute(command);
    await client.disconnect();
    return reply;
}

async function viaRconClient() {
    const client = await RconClient.connect({ host, port, password, timeout: 20000 });
    const reply = await client.send(command);
    await client.end();
    return reply;
}

// node-rcon hands over each reply packet with its last line end taken off.
function viaNodeRcon() {
    return new Promise((resolve, reject) => {
        const client = new NodeRcon(host, port, password);
        client.on('auth', () => client.send(command));
        client.on('response', (reply) => {
            client.disconnect();
            resolve(reply + '\n');
        });
        client.on('error', reject);
        client.connect();
    });
}

async function wrongPasswordRefused() {
    try {
        await RconClient.connect({ host, port, password: wrongPassword, timeout: 20000 });
    } catch (error) {
        if (/Authentication failed/.test(error.message)) return expected;
        throw error;
    }
    throw new Error('signed in with a wrong password');
}

async function main() {
    const checks = [
        ['rcon-srcds', viaRconSrcds],
        ['rcon-client', viaRconClient],
        ['rcon', viaNodeRcon],
        ['wrong password refused', wrongPasswordRefused],
    ];
    let failed = 0;
    for (const [name, run] of checks) {
        try {
            const reply = await withTimeout(run(), name);
            if (reply === expected) {
                console.log(`${name}: ok`);
            } else {
                console.log(`${name}: reply ${JSON.stringify(reply)}, expected ${JSON.stringify(expected)}`);
                failed++;
            }
        } catch (error) {
            console.log(`${name}: ${error.message}`);
            failed++;
        }
    }
    process.exit(failed ? 1 : 0);
}

main();
